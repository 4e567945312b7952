// VEXA: start-up. Creates the application and the main window and runs the event loop.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <thread>

#include <fontconfig/fontconfig.h>

#include "app/main_window.h"
#include "app/startup_probe.h"
#include "ui/application_setup.h"
#include "ui/dialogs.h"

int main(int argc, char** argv) {
  // The first text a window draws waits for fontconfig to read its configuration, the
  // largest single cost of start-up. Read it on a second thread while the application
  // connects to the display.
  std::thread font_configuration([] { FcInit(); });
  QApplication app(argc, argv);
  font_configuration.join();
  QApplication::setApplicationName(QString::fromLatin1(vexa::kAppTitle));
  QApplication::setApplicationDisplayName(QString());
  vexa::SetUpApplication();
  try {
    // The page the window opens on first; the others follow right after the first paint.
    vexa::TForm1 form(nullptr, vexa::TForm1::PageBuild::kVisibleFirst);
    // Only with VEXA_STARTUP_PROBE=1: reports the first paint of the window and exits
    // (bench/startup.py).
    vexa::StartupProbe::InstallIfRequested(&form);
    form.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QString::fromLatin1(vexa::kAppTitle),
                          QString::fromLocal8Bit(error.what()));
    return 1;
  }
}
