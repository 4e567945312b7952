#include "gsm/reference_pages.h"

#include <QFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include "gsm/pvt_page.h"
#include "gsm/reference_texts.h"
#include "ui/form_widgets.h"

namespace vexa {
namespace {

constexpr int kDesignSheetWidth = 594;
constexpr int kDesignSheetHeight = 356;
constexpr int kMemoMargin = 105;  // the sheet's width less the memo's
constexpr int kSwitchFromRight = 92;

}  // namespace

MemoViewPage::MemoViewPage(const char* sheet_name, const char* memo_name,
                           const std::vector<std::string>& lines, int point_size, bool underline,
                           QWidget* parent)
    : Page(sheet_name, parent) {
  Memo = MakeFormWidget<QPlainTextEdit>(this, memo_name, 0, 0);
  Memo->setReadOnly(true);
  Memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(point_size);
  font.setUnderline(underline);
  Memo->setFont(font);
  QString text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i)
      text += QLatin1Char('\n');
    text += QString::fromStdString(lines[i]);
  }
  Memo->setPlainText(text);
  Relayout(kDesignSheetWidth, kDesignSheetHeight);
}

void MemoViewPage::Relayout(int sheet_width, int sheet_height) {
  Memo->setGeometry(0, 0, sheet_width - kMemoMargin, sheet_height);
}

PclPage::PclPage(QWidget* parent)
    : MemoViewPage("TabSheet3", "Memo1", PclMemoLines(), 10, true, parent) {}

SpurPage::SpurPage(QWidget* parent)
    : MemoViewPage("TabSheet7", "Memo3", SpurMemoLines(), 9, false, parent) {}

OrfsPage::OrfsPage(QWidget* parent)
    : MemoViewPage("TabSheet5", "Memo2", OrfsMemoLines(), 10, true, parent) {
  Label42 = MakeFormWidget<ClickableLabel>(this, "Label42", 502, 8);
  Label42->setText(QLatin1String(kTo8pskCaption));
  Label42->adjustSize();
  Label42->setCursor(Qt::PointingHandCursor);
  connect(Label42, &ClickableLabel::clicked, this, &OrfsPage::Label42Click);
  Relayout(kDesignSheetWidth, kDesignSheetHeight);
}

void OrfsPage::Relayout(int sheet_width, int sheet_height) {
  MemoViewPage::Relayout(sheet_width, sheet_height);
  if (Label42)
    Label42->move(sheet_width - kSwitchFromRight, Label42->y());
}

// Bringing a line into view selects it, puts the caret at its end and scrolls as far as the
// caret needs: from the top, line 124 ends up at the bottom of the view.
void OrfsPage::Label42Click() {
  const bool to_8psk = Label42->text() == QLatin1String(kTo8pskCaption);
  const QTextBlock block = Memo->document()->findBlockByNumber(to_8psk ? kOrfs8pskLine : 0);
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  Memo->setTextCursor(cursor);
  Memo->ensureCursorVisible();
  Label42->setText(QLatin1String(to_8psk ? kToGmskCaption : kTo8pskCaption));
  Label42->adjustSize();
}

}  // namespace vexa
