#pragma once
// A shown terminal view on the offscreen platform, 640 by 400 pixels, in the
// design font.

#include <gtest/gtest.h>

#include <QApplication>
#include <string>
#include <vector>

#include "view/Fonts.h"
#include "view/QuokkaView.h"

class ViewTest : public ::testing::Test {
 protected:
  ViewTest() {
    RegisterFontSubstitutions();
    view.setFont(DefaultTerminalFont());
    view.resize(640, 400);
    view.show();
    QApplication::processEvents();
  }

  // Every stored line, in order.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    view.AssignTo(lines);
    return lines;
  }

  // "prefix1", "prefix2", ... "prefixN".
  static std::vector<std::string> Numbered(const std::string& prefix, int first, int last) {
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) lines.push_back(prefix + std::to_string(i));
    return lines;
  }

  TQuokkaView view;
};
