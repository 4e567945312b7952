// The program's own look, "(Good)": a style that restyles every window while it is active.
#pragma once

#include <QObject>
#include <QProxyStyle>
#include <QString>

namespace vexa {

// The standard look (Fusion) with the page control's geometry of the design: a sheet sits
// 4 pixels inside the tab pane on every side, so at the design client width of 602 each
// sheet is 594 wide and the layout rules written against the sheets give the design places.
class PlainStyle : public QProxyStyle {
  Q_OBJECT

 public:
  PlainStyle();
  static constexpr int kSheetInset = 4;  // pixels between the tab pane's edge and a sheet

  QRect subElementRect(SubElement element, const QStyleOption* option,
                       const QWidget* widget = nullptr) const override;
};

// The skin: the plain look's geometry with the skin's palette, gradient buttons and tabs.
class GoodSkinStyle : public PlainStyle {
  Q_OBJECT

 public:
  GoodSkinStyle();

  QPalette standardPalette() const override;
  void polish(QPalette& palette) override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
};

// The skin switch. Active from construction; it can only be switched off, after which the
// application runs with the standard look until it ends.
class SkinData : public QObject {
  Q_OBJECT

 public:
  inline static const QString kSkinName = QStringLiteral("(Good)");

  explicit SkinData(QObject* parent = nullptr);
  bool Active() const { return active_; }
  void SetActive(bool active);
  QString SkinName() const { return kSkinName; }

 private:
  bool active_ = false;
};

}  // namespace vexa
