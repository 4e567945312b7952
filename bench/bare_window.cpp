// The start-up benchmark's baseline: a plain Qt Widgets program, one default QWidget of the
// main window's design size, shown. Default style, palette and font; no pages. It reports its
// first paint through the same probe as vexa (VEXA_STARTUP_PROBE=1).
#include <QApplication>
#include <QWidget>

#include "app/startup_probe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(602, 384);
  vexa::StartupProbe::InstallIfRequested(&window);
  window.show();
  return QApplication::exec();
}
