// The main of suites that create widgets: they need a QApplication before
// the first test, which gtest_main does not make.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Widget tests never need a screen; this also holds when CTest lists the
  // tests, which it does without the tests' environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
