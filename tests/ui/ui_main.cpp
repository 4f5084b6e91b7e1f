// Widget tests run on the offscreen platform unless a display is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "imageio/image_support.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  // Settings written by the tests go to a folder of their own, never the user's.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZWP-Konverter"));
  const zwp::ImageSupport images;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
