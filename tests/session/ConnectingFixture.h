#pragma once
// A main window for connection tests: its own data folder and settings
// store, dialogs answered by the test, short pauses, and helpers to reach
// its controls and read its views, log and call record.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "access/AccessPoint.h"
#include "session/ProgramFolder.h"
#include "session/WombatForm.h"
#include "support/EventWait.h"
#include "support/ScriptedUi.h"
#include "support/TempHome.h"
#include "text/QtCodec.h"
#include "view/QuokkaView.h"

class ConnectingTest : public testing::Test {
 protected:
  static constexpr int kWaitMs = 5000;
  static constexpr char kFoldMark = '\x1f';

  // Settings that the window reads when it is built.
  static void SetSetting(const QString& key, const QString& value) {
    QSettings("Zeb", "Wombat").setValue(key, value);
  }

  void SaveEntry(const std::string& name, const TAPData& entry) {
    TAccessPoint accessPoint;
    accessPoint.SetFolder(ToPath(home.DataFolder()));
    ASSERT_TRUE(accessPoint.Save(name, entry));
  }
  // An entry for a telnet host on loopback, selected when the window starts.
  void SaveTelnetEntry(const std::string& name, quint16 port, const std::string& script = "",
                       const std::string& id = "", const std::string& password = "") {
    TAPData entry;
    entry.HostName = "127.0.0.1";
    entry.Port = std::to_string(port);
    entry.Script = script;
    entry.ID = id;
    entry.Password = password;
    entry.LogName = "Lo";
    SaveEntry(name, entry);
    SetSetting("AccessList/Default", ToQString(name));
  }

  void Start(const QStringList& arguments = {}) {
    form = std::make_unique<TWombatForm>(arguments);
    form->Pauses = {0, 0, 0};
    form->show();
  }

  // A control, menu item or component of the window by its name.
  QObject* Child(const char* name) {
    QObject* child = form->findChild<QObject*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  template <typename T = QWidget>
  T* Get(const char* name) {
    return qobject_cast<T*>(Child(name));
  }
  bool Enabled(const char* command) { return Child(command)->property("enabled").toBool(); }
  void Click(const char* button) { Get<QPushButton>(button)->click(); }
  QString Status() { return Get<QLabel>("StatusPanel")->text(); }
  bool Connected() { return Enabled("Disconnect1"); }
  bool WaitForIdle() {
    return WaitUntil([&] { return Enabled("Connect1"); }, kWaitMs);
  }

  void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
  }
  void Release(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &release);
  }
  // Types a line into the input line and presses Enter.
  void Enter(const QString& line) {
    auto* input = Get<QComboBox>("InputEdit");
    input->setEditText(line);
    Press(input, Qt::Key_Return);
  }

  TQuokkaView* View(const char* name) { return Get<TQuokkaView>(name); }
  // The view's lines, a line folded over several stored lines joined again.
  static std::vector<std::string> Lines(const TQuokkaView* view) {
    std::vector<std::string> lines;
    bool continued = false;
    for (int i = 0; i < view->LineCount(); ++i) {
      std::string line = view->Get(i);
      const bool folds = !line.empty() && line.back() == kFoldMark;
      if (folds) line.pop_back();
      if (continued)
        lines.back() += line;
      else
        lines.push_back(line);
      continued = folds;
    }
    return lines;
  }
  bool ViewShows(const char* name, const std::string& text) {
    for (const std::string& line : Lines(View(name)))
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  bool WaitForLine(const std::string& text) {
    return WaitUntil([&] { return ViewShows("TerminalView", text); }, kWaitMs);
  }

  std::string ReadDataFile(const QString& name) {
    QFile file(home.DataFile(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
  }
  // Today's log of an entry with the log name "Lo".
  std::string TodaysLog() {
    return ReadDataFile("Lo" + QDate::currentDate().toString("yyMMdd") + ".log");
  }

  // Calls check every few milliseconds from now on, also while the window
  // pauses (a pause holds the outer event loops, so WaitUntil cannot look).
  void Probe(std::function<void()> check) {
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, std::move(check));
    probe.start();
  }

  TTempHome home;
  TScriptedUi ui;
  std::unique_ptr<TWombatForm> form;
  QTimer probe;
};
