#include "instrument/instrument_page_parts.h"

#include "instrument/gpib_driver.h"

namespace vexa {

MemoWidget* MakeMemo(QWidget* page, const char* name) {
  auto* memo = new MemoWidget(page);
  memo->setObjectName(QLatin1String(name));
  memo->setGeometry(0, 0, kMemoWidth, kMemoHeight);
  return memo;
}

QLineEdit* MakeCommandLine(QWidget* page, const char* name) {
  auto* edit = new QLineEdit(QStringLiteral("*IDN?"), page);
  edit->setObjectName(QLatin1String(name));
  edit->setGeometry(kRightColumn, 0, kControlWidth, 21);
  return edit;
}

QPushButton* MakeButton(QWidget* page, const char* name, const QString& caption, int top,
                        bool enabled) {
  auto* button = new QPushButton(caption, page);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(kRightColumn, top, kControlWidth, 25);
  button->setEnabled(enabled);
  return button;
}

QLabel* MakeLabel(QWidget* page, const char* name, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, page);
  label->setObjectName(QLatin1String(name));
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLabel* MakeDriverNote(QWidget* page) {
  const QString note = QString::fromStdString(gpib::DriverNote());
  auto* label = new QLabel(page);
  label->setObjectName(QStringLiteral("DriverNote"));
  label->setGeometry(0, kMemoHeight + 3, kMemoWidth, 16);
  label->setToolTip(note);
  label->setText(label->fontMetrics().elidedText(note, Qt::ElideMiddle, kMemoWidth));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0x55, 0x55, 0x55));
  label->setPalette(palette);
  return label;
}

}  // namespace vexa
