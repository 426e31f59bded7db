// The GUI tests run in one QApplication on the offscreen platform, with the program's own settings
// and language files beside the test program and a scratch application-data folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  char scratch[] = "/tmp/dunmere-gui-tests-XXXXXX";
  if (::mkdtemp(scratch) != nullptr) qputenv("DUNMERE_APPDATA", scratch);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
