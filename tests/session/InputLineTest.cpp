// The input line, its history, the function keys and the clipboard commands.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "access/FuncConfig.h"
#include "session/ConnectingFixture.h"
#include "support/LoopbackPeer.h"
#include "support/UserInput.h"
#include "text/Codec.h"

namespace {

class InputLineTest : public ConnectingTest {
 protected:
  void WriteFuncKeys(const std::string& text) {
    QFile file(home.DataFile("FuncKey.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
  }
  QComboBox* Input() { return Get<QComboBox>("InputEdit"); }
  // The window is active and the input line has the focus, as at work.
  void FocusInputLine() {
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Input()->setFocus();
  }
  QToolButton* Button(int number) {
    return Get<QToolButton>(QString("SpeedButton%1").arg(number).toLatin1().constData());
  }
  QStringList Captions() {
    QStringList captions;
    for (int number = 1; number <= 12; ++number) captions << Button(number)->text();
    return captions;
  }
  // The history as after a line was sent: nothing recalled yet.
  void ShowHistoryAgain() {
    Input()->setCurrentIndex(-1);
    Input()->clearEditText();
  }
  QStringList History() {
    QStringList lines;
    for (int i = 0; i < Input()->count(); ++i) lines << Input()->itemText(i);
    return lines;
  }
  static QStringList Numbered(const QString& prefix, int first, int last) {
    QStringList texts;
    for (int i = first; i <= last; ++i) texts << prefix + QString::number(i);
    return texts;
  }
};

TEST_F(InputLineTest, TheHistoryKeepsTheTwentyNewestLinesNewestFirst) {
  Start();
  Enter("");
  EXPECT_EQ(History(), QStringList({""}));
  for (const QString& line : Numbered("line", 1, 25)) Enter(line);
  QStringList newestFirst = Numbered("line", 6, 25);
  std::reverse(newestFirst.begin(), newestFirst.end());
  EXPECT_EQ(History(), newestFirst);
  EXPECT_EQ(Input()->currentText(), "");
}

// A history line that begins with the typed text is not filled in after it;
// the history is reached with the arrow keys.
TEST_F(InputLineTest, EnterSendsWhatWasTypedNotAHistoryLineBeginningWithIt) {
  Start();
  FocusInputLine();
  Enter("ok, see you tomorrow");
  QTest::keyClicks(Input(), "OK");
  EXPECT_EQ(Input()->currentText(), "OK");
  Press(Input(), Qt::Key_Return);
  EXPECT_EQ(History(), QStringList({"OK", "ok, see you tomorrow"}));
  QTest::keyClick(Input(), Qt::Key_Down);
  QTest::keyClick(Input(), Qt::Key_Down);
  EXPECT_EQ(Input()->currentText(), "ok, see you tomorrow");
}

// With the focus in the input line every menu shortcut reaches its command,
// and the line keeps its text and selection; the key of a disabled command
// does nothing there either. Other keys stay the line's.
TEST_F(InputLineTest, EveryMenuShortcutReachesItsCommandFromTheInputLine) {
  Start();
  FocusInputLine();
  Input()->setEditText("abc");
  Input()->lineEdit()->setSelection(1, 1);
  const auto lineUnchanged = [this] {
    return Input()->currentText() == "abc" && Input()->lineEdit()->selectedText() == "b";
  };
  int commands = 0;
  for (QAction* command : form->findChildren<QAction*>()) {
    if (command->shortcut().isEmpty()) continue;
    ++commands;
    // Only the routing is tested here: the command's own work is left out.
    QObject::disconnect(command, &QAction::triggered, nullptr, nullptr);
    int triggered = 0;
    QObject::connect(command, &QAction::triggered, [&triggered] { ++triggered; });
    command->setEnabled(true);
    QTest::keySequence(Input(), command->shortcut());
    EXPECT_EQ(triggered, 1) << command->objectName().toStdString();
    EXPECT_TRUE(lineUnchanged()) << command->objectName().toStdString();

    command->setEnabled(false);
    QTest::keySequence(Input(), command->shortcut());
    EXPECT_EQ(triggered, 1) << command->objectName().toStdString();
    EXPECT_TRUE(lineUnchanged()) << command->objectName().toStdString();
  }
  EXPECT_EQ(commands, 13);
  QTest::keyClick(Input(), Qt::Key_X);
  EXPECT_EQ(Input()->currentText(), "axc");
}

// A file is read as a Linux editor or an old version wrote it, and an exit
// that changed no text leaves it byte for byte as it was.
TEST_F(InputLineTest, AKeyFileWithoutChangesSurvivesAStartAndAnExit) {
  const std::pair<const char*, std::string> files[] = {
      {"short, CR LF", "k1\r\nk2\r\nk3\r\nk4\r\nk5\r\nk6\r\nk7\r\nk8\r\nk9\r\nk10\r\n"},
      {"LF", "k1\nk2\nk3\nk4\nk5\nk6\nk7\nk8\nk9\nk10\n"},
      {"CR", "k1\rk2\rk3\rk4\rk5\rk6\rk7\rk8\rk9\rk10"},
      {"0x1A", "k1\r\nk2\r\nk3\r\nk4\r\nk5\r\nk6\r\nk7\r\nk8\r\nk9\r\nk10\r\n\x1Anot keys\r\n"},
  };
  for (const auto& [kind, bytes] : files) {
    WriteFuncKeys(bytes);
    Start();
    EXPECT_EQ(Captions(), Numbered("k", 1, 10) + QStringList({"", ""})) << kind;
    form.reset();
    EXPECT_EQ(ReadDataFile("FuncKey.txt"), bytes) << kind;
  }
}

TEST_F(InputLineTest, ShiftAndCtrlChooseTheBankOfCaptionsAndInsertedTexts) {
  std::string file;
  for (const QString& text : Numbered("p", 1, 12) + Numbered("s", 1, 12) + Numbered("c", 1, 12))
    file += text.toStdString() + "\r\n";
  WriteFuncKeys(file);
  Start();
  Press(Input(), Qt::Key_Control, Qt::ControlModifier);
  EXPECT_EQ(Captions(), Numbered("c", 1, 12));
  Release(Input(), Qt::Key_Control, Qt::NoModifier);
  EXPECT_EQ(Captions(), Numbered("p", 1, 12));

  // The text replaces the selection at the caret.
  Input()->setEditText("<>");
  Input()->lineEdit()->setSelection(1, 0);
  Press(Input(), Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(Input()->currentText(), "<s3>");
  Press(Input(), Qt::Key_F3, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(Input()->currentText(), "<s3p3>");
  Release(Input(), Qt::Key_Shift, Qt::ControlModifier);
  Release(Input(), Qt::Key_Control, Qt::NoModifier);
  Button(12)->click();
  EXPECT_EQ(Input()->currentText(), "<s3p3p12>");
}

TEST_F(InputLineTest, TheButtonsFillTheBarTheFirstOnesOnePixelWider) {
  Start();
  for (int width : {530, 541}) {
    form->resize(width, 551);
    QApplication::processEvents();
    const QRect area = Get<QWidget>("FunctionPanel")->contentsRect();
    int left = area.left();
    for (int number = 1; number <= 12; ++number) {
      const QRect place = Button(number)->geometry();
      const int expectedWidth = area.width() / 12 + (number <= area.width() % 12 ? 1 : 0);
      EXPECT_EQ(place, QRect(left, area.top(), expectedWidth, area.height())) << number;
      left += expectedWidth;
    }
  }
}

TEST_F(InputLineTest, TheFunctionKeyDialogChangesTextsAndBarOnlyOnOK) {
  Start();
  for (bool ok : {false, true}) {
    QTimer::singleShot(0, [ok] {
      auto* dialog = qobject_cast<TFuncConfigForm*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->Edit->setText("hello");
      dialog->Button3->click();
      dialog->FuncVisible->setChecked(false);
      (ok ? dialog->OK : dialog->Cancel)->click();
    });
    Get<QAction>("KF1")->trigger();
    EXPECT_EQ(Button(1)->text(), ok ? "hello" : "") << ok;
    EXPECT_EQ(Get<QWidget>("FunctionPanel")->isHidden(), ok) << ok;
  }
  EXPECT_EQ(form->FunctionKeyTexts().front(), "hello");
  form.reset();
  std::string expected = "hello\r\n";
  for (int i = 1; i < 36; ++i) expected += "\r\n";
  EXPECT_EQ(ReadDataFile("FuncKey.txt"), expected);
}

TEST_F(InputLineTest, PasteInsertsTheClipboardIntoTheInputLine) {
  Start();
  QGuiApplication::clipboard()->setText("pasted");
  Input()->setEditText("<>");
  Input()->lineEdit()->setCursorPosition(1);
  Get<QAction>("Paste2")->trigger();
  EXPECT_EQ(Input()->currentText(), "<pasted>");
}

// A text copied in a Linux program (LF) or in a Windows one (CR LF) gives the
// same bytes, pasted into the line and sent, or pasted and sent at once.
TEST_F(InputLineTest, PastingTakesLfAndCrLfLineEndsAlike) {
  TLoopbackPeer peer;
  SaveTelnetEntry("Peer", peer.Port());
  Start();
  SendFromHost(peer, {"hello"});
  for (const char* text : {"one\ntwo", "one\r\ntwo"}) {
    SCOPED_TRACE(QString(text).toUtf8().toPercentEncoding().toStdString());
    const qsizetype sent = static_cast<qsizetype>(peer.Received().size());
    QGuiApplication::clipboard()->setText(text);
    Get<QAction>("Paste2")->trigger();
    EXPECT_EQ(Input()->currentText(), "one\rtwo");
    Press(Input(), Qt::Key_Return);
    Get<QAction>("Paste1")->trigger();
    ASSERT_TRUE(peer.WaitForReceived(sent + 15));
    EXPECT_EQ(peer.Received().substr(static_cast<size_t>(sent)), "one\rtwo\rone\rtwo");
  }
}

// Up or Down on the line being typed recalls the newest line; then Down
// steps to older lines and Up back to newer ones, as in a drop-down box.
TEST_F(InputLineTest, UpAndDownWalkTheHistoryFromTheNewestLine) {
  Start();
  FocusInputLine();
  for (const QString& line : {"first", "second", "third"}) Enter(line);
  for (Qt::Key recall : {Qt::Key_Up, Qt::Key_Down}) {
    ShowHistoryAgain();
    QTest::keyClick(Input(), recall);
    EXPECT_EQ(Input()->currentText(), "third") << recall;
  }
  const std::pair<Qt::Key, const char*> steps[] = {
      {Qt::Key_Down, "second"}, {Qt::Key_Down, "first"}, {Qt::Key_Down, "first"},
      {Qt::Key_Up, "second"},   {Qt::Key_Up, "third"},   {Qt::Key_Up, "third"}};
  for (const auto& [key, line] : steps) {
    QTest::keyClick(Input(), key);
    EXPECT_EQ(Input()->currentText(), line);
  }
  QTest::keyClick(Input(), Qt::Key_Down, Qt::AltModifier);
  EXPECT_TRUE(Input()->view()->isVisible()) << "Alt+Down opens the list";
  Input()->hidePopup();
}

// Typed while a view has the focus, or after an entry was chosen in the
// list, a line reaches the host through the input line, which takes the
// focus; the views keep their caret keys.
TEST_F(InputLineTest, KeysTypedOutsideTheInputLineReachTheHost) {
  TLoopbackPeer peer;
  SaveTelnetEntry("Peer", peer.Port());
  SaveEntry("Other", TAPData{});
  Start();
  FocusInputLine();
  std::vector<std::string> lines;
  for (int i = 0; i < 300; ++i) lines.push_back("line " + std::to_string(i));
  SendFromHost(peer, lines);
  ASSERT_TRUE(WaitForLine("line 299"));
  SendWheel(View("TerminalView")->viewport(), 40);
  ASSERT_TRUE(View("LogView")->isVisible());

  std::string expected;
  for (const char* name : {"TerminalView", "LogView"}) {
    SCOPED_TRACE(name);
    TQuokkaView* view = View(name);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_TRUE(view->hasFocus()) << "a caret key stays with the view";
    EXPECT_EQ(Input()->currentText(), "");
    QTest::keyClicks(view, "to hostx");
    EXPECT_TRUE(Input()->lineEdit()->hasFocus());
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Return);
    expected += "to host\r";
  }

  QComboBox* entries = Get<QComboBox>("APNameList");
  entries->setFocus();
  const int other = entries->findText("Other");
  entries->setCurrentIndex(other);
  emit entries->activated(other);
  ASSERT_TRUE(Input()->lineEdit()->hasFocus());
  QTest::keyClicks(QApplication::focusWidget(), "after the list");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  expected += "after the list\r";
  ASSERT_TRUE(peer.WaitForReceived(static_cast<qsizetype>(expected.size())));
  EXPECT_EQ(peer.Received(), expected);
}

}  // namespace

namespace {

// Characters that code page 932 maps (the look-alikes too) go without a
// question; one it cannot carry asks first, by Enter and by paste and send.
// No keeps the line to edit and sends nothing; Yes sends "?" for it.
TEST_F(InputLineTest, ACharacterTheHostCannotShowIsSentAsQuestionMarkOnlyWhenTheUserAgrees) {
  TLoopbackPeer peer;
  SaveTelnetEntry("Peer", peer.Port());
  Start();
  SendFromHost(peer, {"hello"});
  const struct {
    QString text;
    bool yes;
    QString question;  // empty: none asked
    std::string sent;  // empty: nothing sent
  } table[] = {
      {"〜～−‖¢¬", true, "", Sjis("〜～−‖¢¬")},
      {"a😀bé😀", false, "送信できない文字があります：😀é。「?」に置き換えて送信しますか？", ""},
      {"a😀b", true, "送信できない文字があります：😀。「?」に置き換えて送信しますか？", "a?b"},
  };
  for (const bool paste : {false, true}) {
    for (const auto& row : table) {
      SCOPED_TRACE(row.text.toStdString() + (paste ? " pasted" : " entered"));
      ui.questions.clear();
      ui.confirmAnswers = {row.yes};
      const std::size_t before = peer.Received().size();
      if (paste) {
        QGuiApplication::clipboard()->setText(row.text);
        Get<QAction>("Paste1")->trigger();
      } else {
        Enter(row.text);
        EXPECT_EQ(Input()->currentText(), row.sent.empty() ? row.text : QString());
      }
      EXPECT_EQ(ui.questions, row.question.isEmpty() ? QStringList() : QStringList{row.question});
      const std::string expected = row.sent.empty() ? "" : row.sent + (paste ? "" : "\r");
      if (!expected.empty())
        ASSERT_TRUE(peer.WaitForReceived(static_cast<qsizetype>(before + expected.size())));
      else
        RunEventsFor(50);
      EXPECT_EQ(peer.Received().substr(before), expected);
    }
    Input()->clearEditText();
  }
}

}  // namespace
