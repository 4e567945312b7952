// The read-only reference views of the GSM tab that show a memo of fixed text: PCL (transmitter
// output power per power control level), ORFS (output RF spectrum, a GMSK half and an 8PSK half,
// with the switch between them) and SPUR (spurious emissions).
#pragma once

#include <QPlainTextEdit>
#include <string>
#include <vector>

#include "ui/clickable_label.h"
#include "ui/page.h"

namespace vexa {

// A memo view: the memo fills the sheet's height from the left edge; its width follows the
// sheet (sheet width − 105, 489 at the design size).
class MemoViewPage : public Page {
  Q_OBJECT

 public:
  // `memo_name` is the memo's form name ("Memo1"); `point_size` and `underline` its font.
  MemoViewPage(const char* sheet_name, const char* memo_name, const std::vector<std::string>& lines,
               int point_size, bool underline, QWidget* parent = nullptr);

  void Relayout(int sheet_width, int sheet_height) override;

  QPlainTextEdit* Memo;
};

class PclPage : public MemoViewPage {
  Q_OBJECT
 public:
  explicit PclPage(QWidget* parent = nullptr);
};

class SpurPage : public MemoViewPage {
  Q_OBJECT
 public:
  explicit SpurPage(QWidget* parent = nullptr);
};

class OrfsPage : public MemoViewPage {
  Q_OBJECT

 public:
  explicit OrfsPage(QWidget* parent = nullptr);

  void Relayout(int sheet_width, int sheet_height) override;

  ClickableLabel* Label42 = nullptr;  // the switch

  // The switch decides by its own caption: "<---Clk to 8PSK" brings line 124 ("8PSK") into
  // view, the other caption line 0 ("GMSK").
  void Label42Click();
};

}  // namespace vexa
