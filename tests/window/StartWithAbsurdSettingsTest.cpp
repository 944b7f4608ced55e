// Settings edited by hand, copied from another machine or written with a
// monitor that is gone: the window opens at once, on a screen, with every
// value within its range, and leaves the event loop idle.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include "session/WombatForm.h"
#include "support/ScriptedUi.h"
#include "support/TempHome.h"
#include "view/QuokkaView.h"

namespace {

using TValues = std::vector<std::pair<QString, QString>>;

// Counts the timer events delivered while the loop is spun without waiting:
// a timer that fires at every pass (a busy one) shows as one event a pass.
class TTimerEventCounter : public QObject {
 public:
  int CountDuring(int passes) {
    qApp->installEventFilter(this);
    for (int i = 0; i < passes; ++i) QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    return FCount;
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Timer) ++FCount;
    return false;
  }

 private:
  int FCount = 0;
};

class StartWithAbsurdSettings : public testing::Test {
 protected:
  static void Store(const TValues& values) {
    QSettings settings("Zeb", "Wombat");
    // Bounds that fit, so that a case changes one of them only.
    for (const char* key : {"MainWindow/Left", "MainWindow/Top"}) settings.setValue(key, "100");
    settings.setValue("MainWindow/Width", "500");
    settings.setValue("MainWindow/Height", "400");
    for (const auto& [key, value] : values) settings.setValue(key, value);
  }
  void Start() {
    form = std::make_unique<TWombatForm>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  TQuokkaView& View(const char* name) {
    return *static_cast<TQuokkaView*>(form->findChild<QWidget*>(name));
  }
  // The screen that holds the whole frame, or null.
  const QScreen* HoldingScreen() const {
    for (const QScreen* screen : QGuiApplication::screens())
      if (screen->availableGeometry().contains(form->frameGeometry())) return screen;
    return nullptr;
  }
  // Shown, on one screen, every value within its range, nothing busy.
  void ExpectUsable(const std::string& label) {
    SCOPED_TRACE(label);
    EXPECT_TRUE(form->isVisible());
    EXPECT_NE(HoldingScreen(), nullptr) << "frame at " << form->frameGeometry().x() << ","
                                        << form->frameGeometry().y() << " size "
                                        << form->frameGeometry().width() << "x"
                                        << form->frameGeometry().height();
    EXPECT_GE(form->height(), form->minimumSizeHint().height());
    EXPECT_GE(form->width(), form->minimumSizeHint().width());
    for (const char* name : {"TerminalView", "LogView"}) {
      TQuokkaView& view = View(name);
      EXPECT_GE(view.VSpace(), 0);
      EXPECT_LE(view.VSpace(), 99);
      EXPECT_GE(view.MotionInterval(), 50);
      EXPECT_LE(view.MotionInterval(), 10000);
      const QFontInfo font(view.font());
      EXPECT_GE(font.pointSizeF(), 5.5);
      EXPECT_LE(font.pointSizeF(), 72.5);
      EXPECT_LE(view.AccentWords().Count(), 1000);
      for (const QColor& color : {view.Color(), view.UserColor(), view.AccentColor()})
        EXPECT_TRUE(color.isValid());
    }
    EXPECT_GE(form->ReconnectTimeOut(), 0);
    EXPECT_LE(form->ReconnectTimeOut(), 86400);
    EXPECT_LT(TTimerEventCounter().CountDuring(1000), 100);
  }

  TTempHome home;
  TScriptedUi ui;
  std::unique_ptr<TWombatForm> form;
};

const TValues kAbsurdValues[] = {
    {{"MainWondow/Terminal/AccentNumber", "2000000000"}},
    {{"MainWindow/Left", "-99999"}},
    {{"MainWindow/Top", "2147483647"}},
    {{"MainWindow/Width", "999999"}, {"MainWindow/Height", "-5"}},
    {{"MainWindow/Width", "-2147483648"}, {"MainWindow/Height", "2147483647"}},
    {{"MainWindow/TermHeight", "-3000"}},
    {{"MainWindow/Font/Terminal/Size", "10000"}},
    {{"MainWindow/Font/Terminal/Size", "0"}, {"MainWindow/Font/Terminal/Height", "-100000"}},
    {{"MainWindow/Font/Terminal/Size", "-7"}, {"MainWindow/Font/Terminal/Height", "1"}},
    {{"MainWindow/Font/InputBox/Size", "2147483647"}},
    {{"MainWondow/Terminal/VSpace", "2147483647"}},
    {{"MainWondow/Terminal/VSpace", "-40"}},
    {{"MainWondow/Terminal/MotionInterval", "0"}},
    {{"MainWondow/Terminal/MotionInterval", "-2147483648"}},
    {{"MainWondow/Terminal/MotionInterval", "2147483647"}},
    {{"Settings/TimeOut", "99999999999"}},
    {{"Settings/TimeOut", "2147483647"}},
    {{"Settings/TimeOut", "-1"}},
    {{"MainWondow/Terminal/Color", "0x7FFFFFFF"}},
    {{"MainWondow/Terminal/UserColor", "-1"}},
    {{"MainWondow/Terminal/AccentColor", "99999999999"}},
    {{"MainWindow/Font/Terminal/Color", "0x80001234"}},
};

TEST_F(StartWithAbsurdSettings, EachValueAloneAndAllAtOnce) {
  TValues all;
  for (const TValues& values : kAbsurdValues) {
    const std::string label = (values.front().first + "=" + values.front().second).toStdString();
    QSettings("Zeb", "Wombat").clear();
    Store(values);
    Start();
    ExpectUsable(label);
    form.reset();
    all.insert(all.end(), values.begin(), values.end());
  }
  QSettings("Zeb", "Wombat").clear();
  Store(all);
  Start();
  ExpectUsable("all at once");
}

TEST_F(StartWithAbsurdSettings, ValuesBeyondTheirRangeTakeTheNearestBoundOrTheDefault) {
  Store({{"MainWondow/Terminal/VSpace", "2147483647"},
         {"MainWondow/Terminal/MotionInterval", "0"},
         {"Settings/TimeOut", "2147483647"},
         {"MainWindow/Font/Terminal/Size", "10000"},
         {"MainWondow/Terminal/UserColor", "-1"},
         {"MainWondow/Terminal/PageColor", "0x01FF0000"},
         {"MainWondow/Terminal/Color", "-16777201"}});  // 0xFF00000F, the button face
  Start();
  TQuokkaView& view = View("TerminalView");
  EXPECT_EQ(view.VSpace(), 99);
  EXPECT_EQ(view.MotionInterval(), 300);
  EXPECT_EQ(form->ReconnectTimeOut(), 86400);
  EXPECT_EQ(view.font().pointSize(), 72);
  EXPECT_EQ(view.UserColor(), QColor(0, 128, 0));
  EXPECT_EQ(view.PageColor(), QColor(128, 0, 128));
  EXPECT_EQ(view.Color(), QGuiApplication::palette().color(QPalette::Button));
  form.reset();
  // Written back at exit as the window held them.
  EXPECT_EQ(QSettings("Zeb", "Wombat").value("MainWondow/Terminal/VSpace").toString(), "99");
}

// The count is believed only as far as the words are there, and only up to
// a thousand of them; the file keeps what it holds until the exit.
TEST_F(StartWithAbsurdSettings, TheEmphasisListHoldsTheWordsPresent) {
  for (const auto& [count, present, expected] :
       {std::tuple{2000000000, 3, 3}, std::tuple{2000000000, 1200, 1000}, std::tuple{5, 3, 3}}) {
    QSettings settings("Zeb", "Wombat");
    settings.clear();
    settings.setValue("MainWondow/Terminal/AccentNumber", QString::number(count));
    for (int i = 1; i <= present; ++i)
      settings.setValue(QString("MainWondow/Terminal/Accent%1").arg(i), QString("W%1").arg(i));
    settings.sync();
    Start();
    const TNotifyStrings& words = View("LogView").AccentWords();
    ASSERT_EQ(words.Count(), expected) << count << " " << present;
    EXPECT_EQ(words[0], "W1");
    EXPECT_EQ(words[expected - 1], "W" + std::to_string(expected));
    EXPECT_EQ(QSettings("Zeb", "Wombat").value("MainWondow/Terminal/AccentNumber").toInt(), count);
    form.reset();
  }
}

// Bounds saved on a monitor that is gone, or half off a screen: the window
// opens fully visible on the screen nearest to them, as large as it was
// where that fits.
TEST_F(StartWithAbsurdSettings, AWindowOffTheScreensOpensFullyOnTheNearestOne) {
  struct TCase {
    const char* what;
    int left, top, width, height;
    QString screen;
    QSize size;
  } const cases[] = {
      {"beyond the right edge", 4000, 100, 600, 400, "Right", {600, 400}},
      {"half off the left screen's top", 200, -300, 600, 400, "Left", {600, 400}},
      {"mostly on the right screen", 1200, 50, 700, 500, "Right", {700, 500}},
      {"larger than the screen", -500, -500, 5000, 5000, "Left", {1280, 800}},
      {"below the screens", 1800, 3000, 600, 300, "Right", {600, 300}},
  };
  for (const TCase& c : cases) {
    Store({{"MainWindow/Left", QString::number(c.left)},
           {"MainWindow/Top", QString::number(c.top)},
           {"MainWindow/Width", QString::number(c.width)},
           {"MainWindow/Height", QString::number(c.height)}});
    Start();
    const QScreen* screen = HoldingScreen();
    ASSERT_NE(screen, nullptr) << c.what;
    EXPECT_EQ(screen->name(), c.screen) << c.what;
    const QMargins frame = form->windowHandle()->frameMargins();
    EXPECT_EQ(form->frameGeometry().size().boundedTo(screen->availableGeometry().size()),
              form->frameGeometry().size())
        << c.what;
    EXPECT_EQ(form->size(),
              c.size.boundedTo(screen->availableGeometry().size() -
                               QSize(frame.left() + frame.right(), frame.top() + frame.bottom())))
        << c.what;
    form.reset();
  }
}

}  // namespace
