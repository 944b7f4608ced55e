#include <gtest/gtest.h>

#include "view/Scrolling.h"

namespace {

TEST(ScrollKeys, OnlyTheListedModifiersMatch) {
  const Qt::KeyboardModifiers none = Qt::NoModifier;
  EXPECT_EQ(VerticalScrollKey(Qt::Key_Up, none), scLineUp);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_Up, Qt::KeypadModifier), scLineUp);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_Down, Qt::ControlModifier), scPageDown);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_PageUp, none), scPageUp);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_Home, Qt::ControlModifier), scTop);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_End, Qt::ControlModifier), scBottom);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_Home, none), std::nullopt);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_PageUp, Qt::ShiftModifier), std::nullopt);
  EXPECT_EQ(VerticalScrollKey(Qt::Key_Up, Qt::AltModifier), std::nullopt);
  EXPECT_EQ(HorizontalScrollKey(Qt::Key_Home, none), scTop);
  EXPECT_EQ(HorizontalScrollKey(Qt::Key_Right, Qt::ControlModifier), scPageDown);
  EXPECT_EQ(HorizontalScrollKey(Qt::Key_End, Qt::ControlModifier), std::nullopt);

  EXPECT_EQ(CaretKey(Qt::Key_Left, none, false)->Move, cmLeft);
  EXPECT_TRUE(CaretKey(Qt::Key_Down, Qt::ShiftModifier, true)->Extend);
  EXPECT_EQ(CaretKey(Qt::Key_Down, Qt::ShiftModifier, false), std::nullopt);
  EXPECT_EQ(CaretKey(Qt::Key_Down, Qt::ControlModifier, true), std::nullopt);
  EXPECT_EQ(CaretKey(Qt::Key_PageDown, none, true), std::nullopt);
}

TEST(ScrollTarget, MovesByStepOrPageWithinTheRange) {
  EXPECT_EQ(ScrollTarget(scLineUp, 10, 3, 20, 0, 50), 7);
  EXPECT_EQ(ScrollTarget(scPageDown, 40, 1, 20, 0, 50), 50);
  EXPECT_EQ(ScrollTarget(scPageUp, 10, 1, 20, 0, 50), 0);
  EXPECT_EQ(ScrollTarget(scThumbTrack, 10, 1, 20, 33, 50), 33);
  EXPECT_EQ(ScrollTarget(scBottom, 10, 1, 20, 0, 50), 50);
  EXPECT_EQ(ScrollTarget(scTop, 10, 1, 20, 0, 50), 0);
  EXPECT_EQ(ScrollTarget(scEndScroll, 10, 1, 20, 0, 50), 10);
}

TEST(ScrollAcceleration, GrowsOnSteadyQuickRequestsUpToTheSense) {
  TScrollAcceleration acceleration;
  int64_t now = ScrollClockNow();
  auto request = [&](int64_t after, bool steady, int limit = 30) {
    now += after;
    acceleration.Update(now, 200, 3, steady, limit);
    return acceleration.Step();
  };
  for (int i = 1; i < 10; ++i) EXPECT_EQ(request(10, true), 1) << i;
  EXPECT_EQ(request(10, true), 2);
  for (int i = 0; i < 10; ++i) request(10, true);
  EXPECT_EQ(acceleration.Step(), 3);
  for (int i = 0; i < 10; ++i) request(10, false);
  EXPECT_EQ(acceleration.Step(), 3) << "at the sense it stays until a pause";
  EXPECT_EQ(request(201, true), 1);
  for (int i = 0; i < 3; ++i) request(10, true);
  EXPECT_EQ(request(10, false), 1) << "an unsteady movement starts again";
  for (int i = 0; i < 30; ++i) request(10, true, 1);
  EXPECT_EQ(acceleration.Step(), 1) << "never beyond the view's limit";
}

}  // namespace
