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
  // From the start of the first line to beyond the end of the second.
  const QPoint from(1, 1);
  const QPoint to(view->viewport()->width() - 2, view->LineHeight() + 1);
  SendMouse(view->viewport(), QEvent::MouseButtonPress, from);
  SendMouse(view->viewport(), QEvent::MouseMove, to);
  SendMouse(view->viewport(), QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  const auto primary = [] { return QGuiApplication::clipboard()->text(QClipboard::Selection); };
  EXPECT_TRUE(WaitUntil([&] { return primary() == "first line\nsecond line"; }))
      << primary().toStdString();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept") << "the clipboard is left alone";
}

}  // namespace
