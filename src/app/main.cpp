// VEXA: start-up. Creates the application and the main window and runs the event loop.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/main_window.h"
#include "ui/application_setup.h"
#include "ui/dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(vexa::kAppTitle));
  QApplication::setApplicationDisplayName(QString());
  vexa::SetUpApplication();
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
