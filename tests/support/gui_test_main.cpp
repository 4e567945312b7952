// Page tests run on the real widgets under a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/application_setup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings the pages remember go to a folder of this run, never the user's own.
  char settings[] = "/tmp/vexa-test-settings-XXXXXX";
  if (mkdtemp(settings))
    qputenv("XDG_CONFIG_HOME", settings);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  vexa::SetUpApplication();  // the program's font and number settings
  return RUN_ALL_TESTS();
}
