// main() for QPainter tests: a QGuiApplication on the offscreen platform, no display needed.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "render/surface_format.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  mw::SetDefaultSurfaceFormat();
  QGuiApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
