// A selection made in a view is the desktop's primary selection, with LF
// line ends, as Linux programs paste it with the middle button.
#include <QClipboard>

#include "session/ConnectingFixture.h"
#include "support/LoopbackPeer.h"
#include "support/UserInput.h"

namespace {

class PrimarySelectionTest : public ConnectingTest {};

TEST_F(PrimarySelectionTest, ASelectionMadeWithTheMouseIsThePrimarySelection) {
  if (!QGuiApplication::clipboard()->supportsSelection())
    GTEST_SKIP() << "no X display with a primary selection here (Xvfb is not installed)";
  TLoopbackPeer peer;
  SaveTelnetEntry("Peer", peer.Port());
  Start();
  SendFromHost(peer, {"first line", "second line"});
  ASSERT_TRUE(WaitForLine("second line"));
  QGuiApplication::clipboard()->setText("kept");
  TQuokkaView* view = View("TerminalView");
  const auto at = [view](int column, int line) {
    return QPoint((column - 1) * view->CharWidth() + 1, line * view->LineHeight() + 1);
  };
  SendMouse(view->viewport(), QEvent::MouseButtonPress, at(7, 0));
  SendMouse(view->viewport(), QEvent::MouseMove, at(7, 1));
  SendMouse(view->viewport(), QEvent::MouseButtonRelease, at(7, 1), Qt::LeftButton, Qt::NoButton);
  EXPECT_TRUE(WaitUntil([] {
    return QGuiApplication::clipboard()->text(QClipboard::Selection) == "line\nsecond";
  })) << QGuiApplication::clipboard()->text(QClipboard::Selection).toStdString();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept") << "the clipboard is left alone";
}

}  // namespace
