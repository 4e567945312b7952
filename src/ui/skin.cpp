#include "ui/skin.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

namespace vexa {
namespace {

// The skin's colours: a light steel-blue desk with navy accents.
const QColor kWindow(0xDD, 0xE6, 0xF0);
const QColor kButtonTop(0xF7, 0xFA, 0xFD);
const QColor kButtonBottom(0xC4, 0xD3, 0xE4);
const QColor kFrame(0x6A, 0x84, 0xA6);
const QColor kHighlight(0x1F, 0x4E, 0x8C);

}  // namespace

PlainStyle::PlainStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
  setObjectName(QStringLiteral("Plain"));
}

QRect PlainStyle::subElementRect(SubElement element, const QStyleOption* option,
                                 const QWidget* widget) const {
  if (element == SE_TabWidgetTabContents) {
    const QRect pane = QProxyStyle::subElementRect(SE_TabWidgetTabPane, option, widget);
    return pane.adjusted(kSheetInset, kSheetInset, -kSheetInset, -kSheetInset);
  }
  return QProxyStyle::subElementRect(element, option, widget);
}

GoodSkinStyle::GoodSkinStyle() {
  setObjectName(SkinData::kSkinName);
}

QPalette GoodSkinStyle::standardPalette() const {
  QPalette palette(kWindow);
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, kWindow.lighter(104));
  palette.setColor(QPalette::Button, kButtonBottom);
  palette.setColor(QPalette::Highlight, kHighlight);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::WindowText, QColor(0x10, 0x1C, 0x2C));
  palette.setColor(QPalette::ButtonText, QColor(0x10, 0x1C, 0x2C));
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8A, 0x96, 0xA6));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8A, 0x96, 0xA6));
  return palette;
}

void GoodSkinStyle::polish(QPalette& palette) {
  palette = standardPalette();
}

void GoodSkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
  if (element == PE_PanelButtonCommand) {
    const bool sunken = option->state & (State_Sunken | State_On);
    const bool enabled = option->state & State_Enabled;
    QLinearGradient gradient(option->rect.topLeft(), option->rect.bottomLeft());
    gradient.setColorAt(0, sunken ? kButtonBottom : kButtonTop);
    gradient.setColorAt(1, sunken ? kButtonTop : kButtonBottom);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(enabled ? kFrame : kFrame.lighter(150));
    painter->setBrush(gradient);
    painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->restore();
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void GoodSkinStyle::drawControl(ControlElement element, const QStyleOption* option,
                                QPainter* painter, const QWidget* widget) const {
  if (element == CE_TabBarTabShape) {
    const bool selected = option->state & State_Selected;
    const QRect r = option->rect.adjusted(1, selected ? 0 : 2, -1, 0);
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0, selected ? Qt::white : kButtonTop);
    gradient.setColorAt(1, selected ? kWindow : kButtonBottom);
    QPainterPath path;
    path.addRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, 3), 4, 4);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setClipRect(r);
    painter->setPen(kFrame);
    painter->setBrush(gradient);
    painter->drawPath(path);
    if (selected)
      painter->fillRect(QRect(r.left() + 1, r.top(), r.width() - 2, 2), kHighlight);
    painter->restore();
    return;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

SkinData::SkinData(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("SkinData1"));
  SetActive(true);
}

void SkinData::SetActive(bool active) {
  if (active == active_)
    return;
  active_ = active;
  QStyle* style = active ? new GoodSkinStyle : new PlainStyle;
  QApplication::setStyle(style);  // the application takes ownership
  QApplication::setPalette(style->standardPalette());
}

}  // namespace vexa
