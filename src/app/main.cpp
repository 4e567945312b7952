// VEXA: start-up. Creates the application and the main window and runs the event loop.
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <clocale>
#include <exception>

#include "app/main_window.h"
#include "core/convert.h"
#include "ui/dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(vexa::kAppTitle));
  QApplication::setApplicationDisplayName(QString());
  // Numbers on the pages use the regional decimal separator; printf-style log lines and
  // the C library's conversions stay in the "C" numeric locale.
  vexa::SetDecimalSeparator(
      vexa::DecimalSeparatorFor(QLocale::system().decimalPoint().toStdString()));
  std::setlocale(LC_NUMERIC, "C");
  // The pages are laid out in pixels for a small sans-serif face of 11 pixels.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  QApplication::setFont(font);
  try {
    vexa::TForm1 form;
    form.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString::fromLatin1(vexa::kAppTitle),
                          QString::fromLocal8Bit(error.what()));
    return 1;
  }
}
