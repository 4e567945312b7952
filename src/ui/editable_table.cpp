#include "ui/editable_table.h"

#include <QApplication>

namespace vexa {

void EditableTable::CommitEdit() {
  QWidget* editor = QApplication::focusWidget();
  if (state() != QAbstractItemView::EditingState || !editor || !viewport()->isAncestorOf(editor))
    return;
  commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

}  // namespace vexa
