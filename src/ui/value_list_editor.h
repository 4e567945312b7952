// A two-column list of key=value rows under a "Key" / "Value" header: the keys are fixed, the
// values are typed in place. The design pages use it for their parameters and results.
#pragma once

#include <QTableWidget>
#include <string>
#include <vector>

namespace vexa {

class ValueListEditor : public QTableWidget {
  Q_OBJECT

 public:
  explicit ValueListEditor(QWidget* parent = nullptr);

  // Replaces the rows by these keys, each with an empty value. Rows whose key is in `fixed`
  // cannot be edited (a separator row).
  void SetKeys(const std::vector<std::string>& keys, const std::vector<std::string>& fixed = {});

  std::string Key(int row) const;
  std::string Value(int row) const;
  // Shows `value` in the row; an unchanged value keeps an edit in progress untouched.
  void SetValue(int row, const std::string& value);
  // The row with `key`, or -1.
  int FindRow(const std::string& key) const;
  // Ends an edit in progress, so its text is the row's value (a click on "Calc" while a cell is
  // still being typed in).
  void CommitEdit();
};

}  // namespace vexa
