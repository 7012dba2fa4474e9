// main() for QPainter tests: a QGuiApplication on the offscreen platform, no display needed.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "app/startup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  mw::PrepareEnvironment();
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
