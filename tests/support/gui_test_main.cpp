// Page tests run on the real widgets under a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "ui/application_setup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings the pages remember go to a folder of this run, never the user's own.
  // The folder goes again at the end.
  char settings[] = "/tmp/vexa-test-settings-XXXXXX";
  const bool own_settings = mkdtemp(settings) != nullptr;
  if (own_settings)
    qputenv("XDG_CONFIG_HOME", settings);
  ::testing::InitGoogleTest(&argc, argv);
  int result = 0;
  {
    QApplication app(argc, argv);
    vexa::SetUpApplication();  // the program's font and number settings
    result = RUN_ALL_TESTS();
  }
  if (own_settings) {
    std::error_code ignored;
    std::filesystem::remove_all(settings, ignored);
  }
  return result;
}
