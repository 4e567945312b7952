// A design page's key=value list and its model's rows, matched by key (a key the list lacks is
// left out): ShowRows shows every row's value; ReadRows first commits an edit in progress,
// then copies what stands in the list's editable rows into the model.
#pragma once

#include <vector>

#include "design/value_list.h"
#include "ui/value_list_editor.h"

namespace vexa {

inline void ShowRows(ValueListEditor& list, const std::vector<ValueListRow>& rows) {
  for (const ValueListRow& row : rows)
    list.SetValue(list.FindRow(row.key), row.value);
}

inline void ReadRows(ValueListEditor& list, std::vector<ValueListRow>& rows) {
  list.CommitEdit();
  for (ValueListRow& row : rows) {
    const QTableWidgetItem* cell = list.item(list.FindRow(row.key), 1);
    if (cell && (cell->flags() & Qt::ItemIsEditable))
      row.value = cell->text().toStdString();
  }
}

}  // namespace vexa
