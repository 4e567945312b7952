// A table whose cells are typed in place, with a way to end the typing: a click on a button
// while a cell is still being edited must use the cell's new text.
#pragma once

#include <QTableWidget>

namespace vexa {

class EditableTable : public QTableWidget {
  Q_OBJECT

 public:
  using QTableWidget::QTableWidget;

  // Ends an edit in progress, so its text is the cell's.
  void CommitEdit();
};

}  // namespace vexa
