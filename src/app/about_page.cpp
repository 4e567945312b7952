#include "app/about_page.h"

#include <QDesktopServices>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "ui/guard.h"
#include "ui/skin.h"

namespace vexa {
namespace {

const QColor kMaroon(0x80, 0x00, 0x00);

const char kAboutText[] =
    "My Maker and yours, who will never destroy what he created. I rely implicitly on his "
    "power, and confide wholly in his goodness: I count the hours till that eventful one "
    "arrives which shall restore me to him, reveal him to me.\n\nI am sure there is a future "
    "state; I believe God is good; I can resign my immortal part to him without any "
    "misgivings. God is my father; God is my friend: I love him; I believe he loves me.";

const char kFishText[] =
    "僅以此記念曾經愛過的魚。不想忘記，因爲曾那麽真實的出現在水裏。子非魚，安知魚之樂？子非我，安知"
    "我不知魚之樂？";

QLabel* MakeCaption(QWidget* parent, const char* name, QRect geometry) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(geometry);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, kMaroon);
  label->setPalette(palette);
  return label;
}

}  // namespace

QPixmap DrawFishPicture(QSize size) {
  QPixmap pixmap(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient water(0, 0, 0, size.height());
  water.setColorAt(0, QColor(0x9F, 0xD8, 0xF0));
  water.setColorAt(1, QColor(0x0B, 0x3D, 0x6E));
  p.fillRect(pixmap.rect(), water);
  // Weed swaying from the bottom.
  p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 3, Qt::SolidLine, Qt::RoundCap));
  for (int x = 14; x < size.width(); x += 38) {
    QPainterPath weed(QPointF(x, size.height()));
    weed.cubicTo(x - 10, size.height() - 40, x + 12, size.height() - 70, x - 4,
                 size.height() - 100);
    p.drawPath(weed);
  }
  // The fish, swimming left.
  const QPointF c(size.width() * 0.52, size.height() * 0.42);
  QPainterPath body;
  body.moveTo(c + QPointF(-38, 0));
  body.cubicTo(c + QPointF(-20, -24), c + QPointF(22, -22), c + QPointF(30, 0));
  body.cubicTo(c + QPointF(22, 22), c + QPointF(-20, 24), c + QPointF(-38, 0));
  QPainterPath tail;
  tail.moveTo(c + QPointF(26, 0));
  tail.lineTo(c + QPointF(50, -18));
  tail.lineTo(c + QPointF(44, 0));
  tail.lineTo(c + QPointF(50, 18));
  tail.closeSubpath();
  QRadialGradient scales(c + QPointF(-8, -6), 40);
  scales.setColorAt(0, QColor(0xFF, 0xC1, 0x4D));
  scales.setColorAt(1, QColor(0xE6, 0x51, 0x00));
  p.setPen(QPen(QColor(0x8D, 0x2B, 0x00), 1.2));
  p.setBrush(scales);
  p.drawPath(tail);
  p.drawPath(body);
  p.setBrush(Qt::white);
  p.drawEllipse(c + QPointF(-24, -5), 5, 5);
  p.setBrush(Qt::black);
  p.drawEllipse(c + QPointF(-25, -5), 2.2, 2.2);
  // Bubbles rising from its mouth.
  p.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
  p.setBrush(Qt::NoBrush);
  const QPointF bubbles[] = {{-46, -14}, {-52, -32}, {-47, -52}, {-55, -70}};
  qreal radius = 3;
  for (const QPointF& b : bubbles) {
    p.drawEllipse(c + b, radius, radius);
    radius += 1.2;
  }
  return pixmap;
}

QPixmap DrawMastPicture(QSize size) {
  QPixmap pixmap(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0, QColor(0x1A, 0x23, 0x7E));
  sky.setColorAt(1, QColor(0xF5, 0x9E, 0x5B));
  p.fillRect(pixmap.rect(), sky);
  const qreal mid = size.width() / 2.0;
  const qreal top = size.height() * 0.30;
  // Radio waves around the mast top.
  for (int i = 1; i <= 4; ++i) {
    p.setPen(QPen(QColor(255, 255, 255, 230 - 45 * i), 2));
    const qreal r = 12.0 * i;
    p.drawArc(QRectF(mid - r, top - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
  }
  // Lattice mast.
  p.setPen(QPen(QColor(0x26, 0x26, 0x26), 2));
  const QPointF apex(mid, top);
  const QPointF left(mid - 26, size.height() - 6);
  const QPointF right(mid + 26, size.height() - 6);
  p.drawLine(apex, left);
  p.drawLine(apex, right);
  for (int i = 1; i < 6; ++i) {
    const qreal t = i / 6.0;
    const QPointF l = apex + (left - apex) * t;
    const QPointF r = apex + (right - apex) * t;
    const QPointF l2 = apex + (left - apex) * (t + 1.0 / 6);
    p.drawLine(l, r);
    p.drawLine(r, l2);
  }
  p.setBrush(QColor(0xE5, 0x39, 0x35));
  p.setPen(Qt::NoPen);
  p.drawEllipse(apex, 4, 4);
  return pixmap;
}

AboutPage::AboutPage(SkinData* skin, QWidget* parent)
    : Page("TabSheet11", parent),
      skin_(skin),
      open_url_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
  Image4 = new ClickableLabel(this);
  Image4->setObjectName(QStringLiteral("Image4"));
  Image4->setGeometry(0, 0, 126, 188);
  Image4->setToolTip(kMailLink.mid(7));

  Image5 = new ClickableLabel(this);
  Image5->setObjectName(QStringLiteral("Image5"));
  Image5->setGeometry(344, 200, 145, 150);
  Image5->setCursor(Qt::ArrowCursor);

  Label54 = MakeCaption(this, "Label54", QRect(144, 8, 145, 97));
  Label54->setText(QStringLiteral("If no longer own, what can do is let self never forget. "));
  Label73 = MakeCaption(this, "Label73", QRect(8, 200, 297, 145));

  connect(Image4, &ClickableLabel::clicked, this, &AboutPage::Image4Click);
  connect(Image5, &ClickableLabel::doubleClicked, this, &AboutPage::Image5DblClick);
}

// The window opens on another page, so the pictures are not painted while it is built: that
// would delay its first appearance (large gradient fills also start Qt's painting threads).
void AboutPage::showEvent(QShowEvent* event) {
  Page::showEvent(event);
  if (pictures_drawn_)
    return;
  pictures_drawn_ = true;
  Image4->setPixmap(DrawFishPicture(Image4->size()));
  Image5->setPixmap(DrawMastPicture(Image5->size()));
}

void AboutPage::FormCreate() {
  Label73->setText(QString::fromUtf8(kAboutText));
}

void AboutPage::Image4Click() {
  Guarded([this] {
    // The outcome is not reported: without a mail program nothing happens.
    open_url_(QUrl(kMailLink));
    mail_link_opened_ = true;
  });
}

void AboutPage::Image5DblClick() {
  Guarded([this] {
    if (!mail_link_opened_)
      return;
    Label54->setText(QString::fromUtf8(kFishText));
    skin_->SetActive(false);
  });
}

}  // namespace vexa
