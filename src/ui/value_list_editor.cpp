#include "ui/value_list_editor.h"

#include <QHeaderView>
#include <QTableWidgetItem>
#include <algorithm>

namespace vexa {

ValueListEditor::ValueListEditor(QWidget* parent) : EditableTable(parent) {
  setColumnCount(2);
  setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Value")});
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(18);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setHighlightSections(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setWordWrap(false);
}

void ValueListEditor::SetTitles(const QString& key_title, const QString& value_title) {
  setHorizontalHeaderLabels({key_title, value_title});
}

void ValueListEditor::SetKeys(const std::vector<std::string>& keys,
                              const std::vector<std::string>& fixed) {
  setRowCount(static_cast<int>(keys.size()));
  for (int row = 0; row < rowCount(); ++row) {
    const std::string& key = keys[static_cast<std::size_t>(row)];
    auto* key_item = new QTableWidgetItem(QString::fromStdString(key));
    key_item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(row, 0, key_item);
    auto* value_item = new QTableWidgetItem;
    if (std::find(fixed.begin(), fixed.end(), key) != fixed.end())
      value_item->setFlags(Qt::ItemIsEnabled);
    setItem(row, 1, value_item);
  }
  resizeColumnToContents(0);
}

std::string ValueListEditor::Key(int row) const {
  const QTableWidgetItem* cell = item(row, 0);
  return cell ? cell->text().toStdString() : std::string();
}

std::string ValueListEditor::Value(int row) const {
  const QTableWidgetItem* cell = item(row, 1);
  return cell ? cell->text().toStdString() : std::string();
}

void ValueListEditor::SetValue(int row, const std::string& value) {
  QTableWidgetItem* cell = item(row, 1);
  const QString shown = QString::fromStdString(value);
  if (cell && cell->text() != shown)
    cell->setText(shown);
}

int ValueListEditor::FindRow(const std::string& key) const {
  const QString wanted = QString::fromStdString(key);
  for (int row = 0; row < rowCount(); ++row) {
    if (item(row, 0) && item(row, 0)->text() == wanted)
      return row;
  }
  return -1;
}

}  // namespace vexa
