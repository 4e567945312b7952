// A two-column list of key=value rows under a "Key" / "Value" header: the keys are fixed, the
// values are typed in place. The design pages use it for their parameters and results.
#pragma once

#include <string>
#include <vector>
#include "ui/editable_table.h"

namespace vexa {

class ValueListEditor : public EditableTable {
  Q_OBJECT

 public:
  explicit ValueListEditor(QWidget* parent = nullptr);

  // The captions over the two columns ("Key" and "Value" unless set).
  void SetTitles(const QString& key_title, const QString& value_title);

  // Replaces the rows by these keys, each with an empty value. Rows whose key is in `fixed`
  // cannot be edited (a separator row).
  void SetKeys(const std::vector<std::string>& keys, const std::vector<std::string>& fixed = {});

  std::string Key(int row) const;
  std::string Value(int row) const;
  // Shows `value` in the row; an unchanged value keeps an edit in progress untouched.
  void SetValue(int row, const std::string& value);
  // The row with `key`, or -1.
  int FindRow(const std::string& key) const;
};

}  // namespace vexa
