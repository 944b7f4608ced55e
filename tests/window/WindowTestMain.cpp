// Test main for window placement: the offscreen platform with two screens of
// set sizes side by side, 1280 by 800 at the origin and 1024 by 768 to its
// right.
#include <QApplication>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  QTemporaryDir folder;
  const QString config = folder.filePath("screens.json");
  std::ofstream(config.toStdString()) << R"({"screens": [
    {"name": "Left", "x": 0, "y": 0, "width": 1280, "height": 800, "logicalDpi": 96},
    {"name": "Right", "x": 1280, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96}]})";
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
