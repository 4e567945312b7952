#include "gsm/pvt_page.h"

#include "gsm/reference_texts.h"
#include "ui/form_widgets.h"

namespace vexa {
namespace {

QLabel* MakeNote(QWidget* parent, const char* name, int left, int top, int wrap_width,
                 const char* text) {
  auto* label = MakeFormWidget<QLabel>(parent, name, left, top);
  label->setText(QString::fromUtf8(text));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (wrap_width > 0) {
    label->setWordWrap(true);
    label->setFixedWidth(wrap_width);
  }
  label->adjustSize();
  return label;
}

}  // namespace

PvtPage::PvtPage(QWidget* parent) : Page("TabSheet4", parent) {
  Image1 = new PvtMaskPicture(GmskPvtMask(), this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 500, 293);
  Image2 = new PvtMaskPicture(EightPskPvtMask(), this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(0, 0, 500, 293);
  Image2->hide();

  Label16 = MakeNote(this, "Label16", 0, 296, 0, kPvtNotes[0]);
  Label17 = MakeNote(this, "Label17", 0, 312, 352, kPvtNotes[1]);
  Label18 = MakeNote(this, "Label18", 0, 340, 0, kPvtNotes[2]);
  Label40 = MakeNote(this, "Label40", 360, 296, 232, kPvtNotes[3]);

  Label41 = MakeFormWidget<ClickableLabel>(this, "Label41", 502, 8);
  Label41->setText(QLatin1String(kTo8pskCaption));
  Label41->adjustSize();
  Label41->setCursor(Qt::PointingHandCursor);
  connect(Label41, &ClickableLabel::clicked, this, &PvtPage::Label41Click);
}

void PvtPage::Label41Click() {
  const bool to_8psk = Label41->text() == QLatin1String(kTo8pskCaption);
  Image1->setVisible(!to_8psk);
  Image2->setVisible(to_8psk);
  Label41->setText(QLatin1String(to_8psk ? kToGmskCaption : kTo8pskCaption));
  Label41->adjustSize();
}

}  // namespace vexa
