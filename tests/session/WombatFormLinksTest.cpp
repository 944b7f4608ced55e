// The main window's link commands, clipboard commands and history view,
// driven through the views as the user would.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <memory>
#include <string>
#include <vector>

#include "session/ConnectingFixture.h"
#include "session/InternetShortcut.h"
#include "support/LoopbackPeer.h"
#include "support/UserInput.h"

namespace {

class WombatFormLinksTest : public ConnectingTest {
 protected:
  WombatFormLinksTest() {
    SaveTelnetEntry("Peer", peer.Port());
    Start();
    form->resize(530, 551);
    QApplication::processEvents();
    terminal = View("TerminalView");
    log = View("LogView");
    menu = Get<QMenu>("PopupMenu1");
  }

  void Trigger(const char* command) { Get<QAction>(command)->trigger(); }

  // The host sends the lines, each ended by CR, then a partial line.
  void Receive(const std::vector<std::string>& lines, const std::string& partial = "") {
    SendFromHost(peer, lines, partial);
    const std::string last = partial.empty() ? lines.back() : partial;
    ASSERT_TRUE(WaitUntil([&] { return terminal->Get(terminal->LineCount() - 1) == last; }));
  }
  void ReceiveNumberedLines(int first, int last, const std::string& partial = "") {
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) lines.push_back("line " + std::to_string(i));
    Receive(lines, partial);
  }

  static int LastPage(const TQuokkaView& view) { return view.LineCount() - view.PageLines(); }

  // Clicks a text point of a view, then opens the popup menu there.
  void PopUpAt(TQuokkaView* view, TTextPoint point) {
    menu->hide();
    const QPoint at((point.Column - 1) * view->CharWidth() + 1,
                    (point.Line - view->TopLine()) * view->LineHeight() + 1);
    SendClick(view->viewport(), at);
    SendClick(view->viewport(), at, Qt::RightButton);
    EXPECT_TRUE(menu->isVisible());
  }
  QString Caption(const char* command) { return Get<QAction>(command)->text(); }
  bool Enabled(const char* command) { return Get<QAction>(command)->isEnabled(); }

  TLoopbackPeer peer;
  TQuokkaView* terminal;
  TQuokkaView* log;
  QMenu* menu;
};

TEST_F(WombatFormLinksTest, ScrollingBackOneLineOpensTheHistoryAboveTheLiveText) {
  ReceiveNumberedLines(1, 300);
  ASSERT_TRUE(log->isHidden());
  ASSERT_EQ(terminal->TopLine(), LastPage(*terminal));

  SendWheel(terminal->viewport(), 40);
  ASSERT_TRUE(log->isVisible());
  EXPECT_TRUE(Get<QWidget>("Separater1")->isVisible());
  EXPECT_EQ(log->height(), Get<QWidget>("ViewPanel")->height() / 2);
  EXPECT_EQ(terminal->TopLine(), LastPage(*terminal)) << "the live text stays in view";
  EXPECT_EQ(terminal->verticalScrollBar()->value(), terminal->verticalScrollBar()->maximum());
  EXPECT_EQ(log->TopLine(), LastPage(*log) - (log->PageLines() - 1)) << "one page above the end";

  // Scrolled to its end, the history view closes and the terminal view fills the panel.
  for (int turns = 0; turns < 20 && !log->isHidden(); ++turns) SendWheel(log->viewport(), -120);
  EXPECT_TRUE(log->isHidden());
  EXPECT_TRUE(Get<QWidget>("Separater1")->isHidden());
  QApplication::processEvents();
  EXPECT_EQ(terminal->TopLine(), LastPage(*terminal));
  EXPECT_EQ(terminal->BottomLine(), terminal->LineCount() - 1);
}

TEST_F(WombatFormLinksTest, ReceivedTextNeverOpensTheHistoryView) {
  // A partial line trims the terminal view to its 100 lines, which moves
  // its top line while the text arrives.
  ReceiveNumberedLines(1, 150, "partial");
  ASSERT_EQ(terminal->LineCount(), 100);
  EXPECT_TRUE(log->isHidden());
  EXPECT_EQ(terminal->TopLine(), LastPage(*terminal));

  // While the history is shown, the terminal view keeps following the host.
  SendWheel(terminal->viewport(), 40);
  ASSERT_TRUE(log->isVisible());
  const int historyTop = log->TopLine();
  ReceiveNumberedLines(151, 160, "more");
  EXPECT_TRUE(log->isVisible());
  EXPECT_EQ(log->TopLine(), historyTop);
  EXPECT_EQ(terminal->TopLine(), LastPage(*terminal));
}

TEST_F(WombatFormLinksTest, PageKeysDriveTheHistoryView) {
  ReceiveNumberedLines(1, 300);
  terminal->setFocus();
  SendKey(terminal, Qt::Key_PageUp);
  ASSERT_TRUE(log->isVisible());
  const int opened = log->TopLine();
  SendKey(terminal, Qt::Key_PageUp);
  EXPECT_EQ(log->TopLine(), opened - (log->PageLines() - 1)) << "Page Up now pages the history";
  EXPECT_EQ(terminal->TopLine(), LastPage(*terminal));

  SendKey(terminal, Qt::Key_PageDown);
  EXPECT_TRUE(log->isVisible());
  SendKey(terminal, Qt::Key_PageDown);
  SendKey(terminal, Qt::Key_PageDown);
  EXPECT_TRUE(log->isHidden());
}

TEST_F(WombatFormLinksTest, PopupMenuOffersTheLinkAtTheCaret) {
  Receive({"see http://example.com/a&b?c here", "or write to ab@example.com", "nothing"});

  PopUpAt(terminal, {1, 0});
  EXPECT_EQ(Caption("Jump1"), "http://example.com/a&&b?cを表示(&J)");
  EXPECT_EQ(Caption("ShortCut1"), "http://example.com/a&&b?cのｼｮｰﾄｶｯﾄを作成(&S)");
  EXPECT_EQ(Caption("URLCopy1"), "http://example.com/a&&b?cをｺﾋﾟｰ(&U)");
  EXPECT_TRUE(Enabled("Jump1"));
  EXPECT_FALSE(Enabled("Copy1")) << "nothing is selected";
  Trigger("Jump1");
  EXPECT_EQ(ui.openedUrls.last(), "http://example.com/a&b?c");
  Trigger("URLCopy1");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "http://example.com/a&b?c");
  Trigger("ShortCut1");
  QFile shortcut(form->ShortcutFolder() + "/httpexamplecoma&bc.url");
  ASSERT_TRUE(shortcut.open(QIODevice::ReadOnly));
  EXPECT_EQ(shortcut.readAll(), "[InternetShortcut]\r\nURL=http://example.com/a&b?c\r\n");

  PopUpAt(terminal, {4, 1});
  EXPECT_EQ(Caption("Jump1"), "ab@example.com宛へのﾒｰﾙ作成(&J)");
  EXPECT_EQ(Caption("ShortCut1"), "ab@example.com宛ﾒｰﾙのｼｮｰﾄｶｯﾄを作成(&S)");
  Trigger("Jump1");
  EXPECT_EQ(ui.openedUrls.last(), "mailto:ab@example.com");

  PopUpAt(terminal, {2, 2});
  for (const char* command : {"Jump1", "ShortCut1", "URLCopy1", "Copy1"})
    EXPECT_FALSE(Enabled(command)) << command;
  EXPECT_EQ(Caption("Jump1"), "URLを表示(&J)");
  EXPECT_EQ(Caption("ShortCut1"), "URLのｼｮｰﾄｶｯﾄを作成(&S)");
  EXPECT_EQ(Caption("URLCopy1"), "URLをｺﾋﾟｰ(&U)");
  menu->hide();
  EXPECT_TRUE(Enabled("Copy1")) << "Ctrl+C works again once the menu is closed";
}

// An https link is marked in the link colour, and opened, copied and saved
// as a shortcut exactly as an http link is.
TEST_F(WombatFormLinksTest, AnHttpsLinkIsMarkedOpenedAndSavedAsAnHttpLinkIs) {
  const std::string link = "https://example.com/a?b";
  Receive({"see " + link + " here", "see http://example.com/a?b here"});
  const QImage page = terminal->PageImage();
  const QColor linkColour = terminal->AddressColor();
  const auto inked = [&](int line) {
    int count = 0;
    for (int y = line * terminal->LineHeight(); y < (line + 1) * terminal->LineHeight(); ++y)
      for (int x = 4 * terminal->CharWidth(); x < 27 * terminal->CharWidth(); ++x)
        count += page.pixelColor(x, y) == linkColour;
    return count;
  };
  EXPECT_GT(inked(0), 20);
  EXPECT_GT(inked(0), inked(1)) << "the https link is one character longer";

  PopUpAt(terminal, {6, 0});
  EXPECT_EQ(Caption("Jump1"), ToQString(link) + "を表示(&J)");
  Trigger("Jump1");
  EXPECT_EQ(ui.openedUrls.last(), ToQString(link));
  Trigger("URLCopy1");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), ToQString(link));
  Trigger("ShortCut1");
  QFile shortcut(form->ShortcutFolder() + "/httpsexamplecomab.url");
  ASSERT_TRUE(shortcut.open(QIODevice::ReadOnly));
  EXPECT_EQ(shortcut.readAll().toStdString(), "[InternetShortcut]\r\nURL=" + link + "\r\n");
}

// A control byte ends a link: what is marked, copied, opened and saved as a
// shortcut is the same text, and no shortcut name or file holds a control byte.
TEST_F(WombatFormLinksTest, AControlByteEndsALinkForEveryUseOfIt) {
  std::vector<unsigned char> controls;
  // CR ends the line, LF is dropped, and the view drops 0x1F, its fold mark.
  for (int c = 0; c < 0x1F; ++c)
    if (c != '\r' && c != '\n') controls.push_back(static_cast<unsigned char>(c));
  controls.push_back(0x7F);
  const QDir folder(form->ShortcutFolder());
  for (size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(static_cast<int>(controls[i]));
    const std::string link = "http://a" + std::to_string(controls[i]);
    Receive({link + static_cast<char>(controls[i]) + "tail", "end " + std::to_string(i)});
    PopUpAt(terminal, {1, terminal->LineCount() - 2});
    EXPECT_EQ(Caption("URLCopy1"), ToQString(link) + "をｺﾋﾟｰ(&U)");
    Trigger("URLCopy1");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), ToQString(link));
    Trigger("Jump1");
    EXPECT_EQ(ui.openedUrls.last(), ToQString(link));
    Trigger("ShortCut1");
    QFile shortcut(folder.filePath("httpa" + QString::number(controls[i]) + ".url"));
    ASSERT_TRUE(shortcut.open(QIODevice::ReadOnly));
    EXPECT_EQ(shortcut.readAll().toStdString(), "[InternetShortcut]\r\nURL=" + link + "\r\n");
  }
  EXPECT_EQ(folder.entryList(QDir::Files).filter(QRegularExpression("\\.url$")).size(),
            static_cast<qsizetype>(controls.size()));
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join('\n').toStdString();
}

TEST_F(WombatFormLinksTest, CopyActsOnTheViewUnderTheMouseAndClearOnTheTerminalView) {
  Receive({"first line", "second line"});
  terminal->SetSelStart({1, 1});
  terminal->SetSelEnd({7, 1});
  SendMouse(terminal->viewport(), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
  Trigger("Copy1");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "second");
  // Lines end with LF on the clipboard, as Linux programs paste them.
  terminal->SetSelStart({7, 0});
  Trigger("Copy1");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "line\nsecond");

  Trigger("Clear1");
  EXPECT_EQ(terminal->LineCount(), 0);
  EXPECT_EQ(log->LineCount(), 2);
}

TEST_F(WombatFormLinksTest, OpeningAShortcutFileOpensItsLink) {
  const std::filesystem::path folder = ToPath(form->ShortcutFolder());
  ASSERT_TRUE(SaveInternetShortcut(folder, 1, "http://example.org/", nullptr));
  ui.fileNames.push_back(form->ShortcutFolder() + "/httpexampleorg.url");
  Trigger("KI1");
  EXPECT_EQ(ui.openedUrls, QStringList{"http://example.org/"});

  Trigger("KI1");  // cancelled
  EXPECT_EQ(ui.openedUrls.size(), 1);
}

}  // namespace

namespace {

// A telnet link connects this window through "Temp", never handed to the
// desktop; while connected the user is asked first, and No keeps the line.
TEST_F(WombatFormLinksTest, ATelnetLinkConnectsThisWindowAskingFirstWhileConnected) {
  TLoopbackPeer linked;
  const std::string link = "telnet://127.0.0.1:" + std::to_string(linked.Port()) + "/";
  Receive({"join " + link + " now", "x"});
  for (const bool yes : {false, true}) {
    ui.confirmAnswers = {yes};
    ui.questions.clear();
    PopUpAt(terminal, {1, 0});
    Trigger("Jump1");
    EXPECT_EQ(ui.questions, QStringList{"回線を切断してよろしいですか？"});
    EXPECT_TRUE(ui.openedUrls.isEmpty());
    if (!yes) {
      RunEventsFor(100);
      EXPECT_EQ(linked.Connections(), 0);
      EXPECT_TRUE(peer.WaitForConnections(1) && Get<QPushButton>("Disconnect1")->isEnabled());
    }
  }
  ASSERT_TRUE(linked.WaitForConnections(1));
  EXPECT_EQ(form->SelectedEntry(), "Temp");
  EXPECT_TRUE(form->CurrentEntry().Script.empty());

  // A double click on the link while nothing is connected connects at once.
  Click("Disconnect1");
  ASSERT_TRUE(WaitForIdle());
  ui.questions.clear();
  const QPoint at(6 * terminal->CharWidth(), (0 - terminal->TopLine()) * terminal->LineHeight() + 1);
  SendDoubleClick(terminal->viewport(), at);
  ASSERT_TRUE(linked.WaitForConnections(2));
  EXPECT_TRUE(ui.questions.isEmpty());
  EXPECT_TRUE(ui.openedUrls.isEmpty());
}

}  // namespace
