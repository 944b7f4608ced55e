// The window on a screen of a set size: 80 columns of the view's font are
// visible at the first start, beside the view settings panel and after a
// bigger font, and at its smallest size every button and the status line
// are whole.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QFontInfo>
#include <QFontMetrics>
#include <memory>
#include <string>

#include "session/WombatForm.h"
#include "support/ScriptedUi.h"
#include "support/TempHome.h"
#include "view/Fonts.h"
#include "view/QuokkaView.h"

namespace {

class WindowWidthTest : public testing::Test {
 protected:
  void Start() {
    // As the program does at its start: IPA Gothic for the design fonts.
    RegisterFontSubstitutions();
    form = std::make_unique<TWombatForm>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    view = form->findChild<TQuokkaView*>("TerminalView");
    view->Add(std::string(79, '-') + "W");
  }
  void Trigger(const char* command) { form->findChild<QAction*>(command)->trigger(); }
  // Pixels of the "W" in the 80th column of the view's first line that are
  // not its background: none when that column is cut off.
  int InkInTheEightiethColumn() {
    QApplication::processEvents();
    const QImage page = view->viewport()->grab().toImage();
    const QFontMetrics metrics(view->font());
    const int left = metrics.horizontalAdvance(QString(79, '-'));
    const int right = left + metrics.horizontalAdvance('W');
    int ink = 0;
    for (int y = 0; y < view->LineHeight() && y < page.height(); ++y)
      for (int x = left; x < right && x < page.width(); ++x)
        ink += page.pixelColor(x, y).rgb() != view->Color().rgb();
    return ink;
  }

  TTempHome home;
  TScriptedUi ui;
  std::unique_ptr<TWombatForm> form;
  TQuokkaView* view = nullptr;
};

TEST_F(WindowWidthTest, EightyColumnsAreVisibleAtTheFirstStartBesideThePanelAndAfterAFont) {
  Start();
  EXPECT_GT(InkInTheEightiethColumn(), 0) << "first start, width " << form->width();

  const int width = form->width();
  Trigger("A1");
  EXPECT_EQ(form->width(), width + 106) << "the screen has room for the panel";
  EXPECT_GT(InkInTheEightiethColumn(), 0) << "with the panel open";

  QFont bigger("IPAGothic");
  bigger.setPixelSize(18);
  ui.fonts.push_back(bigger);
  form->findChild<QPushButton*>("BitBtn11")->click();
  ASSERT_EQ(view->font().pixelSize(), 18);
  EXPECT_GT(InkInTheEightiethColumn(), 0) << "with a bigger font, width " << form->width();
  const int widened = form->width();

  Trigger("A1");
  EXPECT_EQ(form->width(), widened - 106) << "closing gives the panel's width back";
  EXPECT_GT(InkInTheEightiethColumn(), 0) << "with the panel closed again";

  // Ending with the panel open keeps the width without it for the next start.
  Trigger("A1");
  form.reset();
  EXPECT_EQ(QSettings("Zeb", "Wombat").value("MainWindow/Width").toInt(), widened - 106);
}

TEST_F(WindowWidthTest, AFirstStartWithAStoredBigFontIsWideEnoughForIt) {
  QSettings settings("Zeb", "Wombat");
  settings.setValue("MainWindow/Font/Terminal/Height", "-16");
  settings.setValue("MainWindow/Font/Terminal/Size", "12");
  settings.sync();
  Start();
  ASSERT_EQ(QFontInfo(view->font()).pixelSize(), 16);
  EXPECT_GT(InkInTheEightiethColumn(), 0) << "width " << form->width();
}

TEST_F(WindowWidthTest, AtItsSmallestSizeEveryButtonAndTheStatusLineAreWhole) {
  Start();
  form->resize(1, 1);
  QApplication::processEvents();
  const QWidget* central = form->centralWidget();
  const auto whole = [central](const QWidget* widget) {
    const QRect place(widget->mapTo(central, QPoint(0, 0)), widget->size());
    return central->rect().contains(place);
  };
  for (const char* name : {"Edit1", "CancelButton", "Connect1", "Disconnect1"}) {
    const auto* button = form->findChild<QPushButton*>(name);
    EXPECT_TRUE(whole(button)) << name;
    EXPECT_TRUE(button->parentWidget()->rect().contains(button->geometry())) << name;
  }
  const auto* status = form->findChild<QLabel*>("StatusPanel");
  EXPECT_TRUE(whole(status));
  EXPECT_EQ(status->height(), 18);
  EXPECT_EQ(form->findChild<QFrame*>("FunctionPanel")->height(), 25);
}

}  // namespace
