#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <functional>
#include <memory>

#include "access/APConfig.h"
#include "access/FolderSelect.h"
#include "access/SoundEdit.h"
#include "session/ProgramFolder.h"
#include "session/WombatForm.h"
#include "support/ScriptedUi.h"
#include "support/TempHome.h"
#include "text/Codec.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"
#include "view/QuokkaView.h"

namespace {

class WombatFormTest : public testing::Test {
 protected:
  void Start() { form = std::make_unique<TWombatForm>(); }
  // Destroys the window, which saves the settings.
  void Stop() { form.reset(); }

  template <typename T = QWidget>
  T* Get(const char* name) {
    T* child = form->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  bool Enabled(const char* command) {
    if (auto* action = form->findChild<QAction*>(command)) return action->isEnabled();
    return Get<QWidget>(command)->isEnabled();
  }
  void Trigger(const char* command) { Get<QAction>(command)->trigger(); }

  // Answers the next modal dialog of type T with `answer` once it is shown.
  template <typename T>
  void WhenShown(std::function<void(T&)> answer) {
    QTimer::singleShot(0, [answer] {
      auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      answer(*dialog);
    });
  }
  static void ClickOk(TAPConfigForm& editor) {
    editor.findChild<QPushButton*>("OKButton")->click();
  }

  void SaveEntry(const char* name, const TAPData& entry) {
    TAccessPoint accessPoint;
    accessPoint.SetFolder(ToPath(home.DataFolder()));
    ASSERT_TRUE(accessPoint.Save(name, entry));
  }

  static QString Stored(const QString& path) {
    return QSettings("Zeb", "Wombat").value(path).toString();
  }

  TTempHome home;
  TScriptedUi ui;
  std::unique_ptr<TWombatForm> form;
};

TEST_F(WombatFormTest, FirstStartCreatesTheDefaultEntriesAndOpensAtTheNaturalSize) {
  Start();
  EXPECT_EQ(form->EntryNames(), QStringList({"NIFTY(Road2)", "NIFTY(Road5)", "NIFTY(Road7)",
                                             "NIFTY(Telnet)", "Temp", "Tern(Telnet)"}));
  EXPECT_EQ(form->SelectedEntry(), "NIFTY(Road2)");
  EXPECT_EQ(form->CurrentEntry().Script, Sjis("**@P'[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road2"));
  // Centred at the layout's natural size, at least the design size and as
  // wide as 80 columns of the view's font need, with every button of the
  // access panel inside the window.
  EXPECT_EQ(form->height(), form->sizeHint().expandedTo(QSize(530, 551)).height());
  EXPECT_GE(form->width(), form->sizeHint().expandedTo(QSize(530, 551)).width());
  const QPoint offCentre =
      QRect(form->pos(), form->size()).center() - form->screen()->availableGeometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 2);
  form->show();
  for (const char* button : {"Connect1", "Disconnect1", "CancelButton", "Edit1"}) {
    const auto* control = Get<QPushButton>(button);
    EXPECT_TRUE(form->rect().contains(QRect(control->mapTo(form.get(), QPoint()), control->size())))
        << button;
  }
  const auto* terminal = form->findChild<TQuokkaView*>("TerminalView");
  EXPECT_GE(terminal->viewport()->width(), 80 * terminal->CharWidth());
  EXPECT_TRUE(ui.messages.isEmpty());
  EXPECT_EQ(Stored("Directory/ExeName"), QCoreApplication::applicationFilePath());

  TAccessPoint accessPoint;
  accessPoint.SetFolder(ToPath(home.DataFolder()));
  TAPData telnet, tern, temp;
  ASSERT_TRUE(accessPoint.Load("NIFTY(Telnet)", telnet));
  ASSERT_TRUE(accessPoint.Load("Tern(Telnet)", tern));
  ASSERT_TRUE(accessPoint.Load("Temp", temp));
  EXPECT_TRUE(telnet.HostName.ends_with(".example"));
  EXPECT_EQ(telnet.Port, "23");
  EXPECT_TRUE(tern.HostName.ends_with(".example"));
  EXPECT_EQ(tern.Port, "13635");
  EXPECT_EQ(tern.Script, Sjis("[:]$I'; ⇒Tern"));
  EXPECT_EQ(tern.LogName, "Te");
  EXPECT_EQ(temp, TAPData{});
}

TEST_F(WombatFormTest, CommandsWithoutAHandlerStayDisabled) {
  Start();
  for (const char* command :
       {"Add2", "Edit2", "Delete2", "Edit1", "KS1", "KL1", "Logging", "Help1", "Version2", "Exit1",
        "Connect2", "K2", "KB1", "KF1", "ChangeTimeOut", "Paste1", "ScrollUp1", "SpeedButton1",
        "A1", "A2"})
    EXPECT_TRUE(Enabled(command)) << command;
  for (const char* command : {"Disconnect2", "ExecQuokka", "Disconnect1", "CancelButton"})
    EXPECT_FALSE(Enabled(command)) << command;
  EXPECT_EQ(Get<QAction>("A1")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Return));
  EXPECT_EQ(Get<QAction>("Delete2")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
}

TEST_F(WombatFormTest, FirstStartSavesTheDefaultsOfTheProgramFolder) {
  Start();
  // The kept height is the default, or the window's smallest height above it.
  const QString keptHeight = QString::number(std::max(200, form->minimumSizeHint().height()));
  Stop();
  const QString folder = home.DataFolder();
  EXPECT_EQ(Stored("AccessList/Default"), "NIFTY(Road2)");
  EXPECT_EQ(Stored("Sounds/Connected"), folder + "/Connect.wav");
  EXPECT_EQ(Stored("Sounds/Disconnected"), folder + "/Discon.wav");
  EXPECT_EQ(Stored("Settings/LogFolder"), folder + "/");
  EXPECT_EQ(Stored("Settings/IShortCutDir"), folder);
  EXPECT_EQ(Stored("Settings/TimeOut"), "20");
  EXPECT_EQ(Stored("Settings/LogEnabled"), "1");
  EXPECT_EQ(Stored("Settings/FunctionKey"), "1");
  EXPECT_EQ(Stored("MainWindow/TermHeight"), keptHeight);
  EXPECT_TRUE(QFile::exists(folder + "/Connect.wav"));
  EXPECT_TRUE(QFile::exists(folder + "/Discon.wav"));
}

TEST_F(WombatFormTest, TheEntryOfTheLastSessionIsSelectedAndItsSerialPortShownShort) {
  TAPData modem;
  modem.HostName = "03-1234-5678";
  modem.Port =
      "COM21ATZ\x1f\x1f\x1f"
      "115200\x1f";
  SaveEntry("Modem", modem);
  SaveEntry("Another", TAPData{});
  QSettings("Zeb", "Wombat").setValue("AccessList/Default", "Modem");
  Start();
  EXPECT_EQ(form->EntryNames(), QStringList({"Another", "Modem", "Temp"}));
  EXPECT_EQ(form->SelectedEntry(), "Modem");
  EXPECT_EQ(Get<QLineEdit>("HostEdit")->text(), "03-1234-5678");
  EXPECT_EQ(Get<QLineEdit>("PortEdit")->text(), "COM2");
  Stop();

  QSettings("Zeb", "Wombat").setValue("AccessList/Default", "Gone");
  Start();
  EXPECT_EQ(form->SelectedEntry(), "Another");
}

TEST_F(WombatFormTest, DeletingTheOnlyEntryDisablesItsCommandsAndEmptiesTheHostFields) {
  TAPData temp;
  temp.HostName = "bbs.example";
  temp.Port = "23";
  SaveEntry("Temp", temp);
  Start();
  ASSERT_EQ(form->EntryNames(), QStringList({"Temp"}));
  EXPECT_EQ(Get<QLineEdit>("HostEdit")->text(), "bbs.example");
  EXPECT_TRUE(Enabled("Edit1"));
  EXPECT_TRUE(Enabled("Delete2"));

  ui.confirmAnswers = {false};
  Trigger("Delete2");
  EXPECT_EQ(form->EntryNames(), QStringList({"Temp"}));
  EXPECT_TRUE(QFile::exists(home.DataFile("Temp.ap")));

  Trigger("Delete2");
  EXPECT_TRUE(form->EntryNames().isEmpty());
  EXPECT_FALSE(QFile::exists(home.DataFile("Temp.ap")));
  for (const char* command : {"Connect1", "Connect2", "Edit1", "Edit2", "Delete2"})
    EXPECT_FALSE(Enabled(command)) << command;
  EXPECT_EQ(Get<QLineEdit>("HostEdit")->text(), "");
  EXPECT_EQ(Get<QLineEdit>("PortEdit")->text(), "");
  EXPECT_EQ(ui.questions.size(), 2);
}

TEST_F(WombatFormTest, AddingAnExistingNameEditsThatEntryWithoutListingItTwice) {
  Start();
  ui.inputs = {QString("Tern(Telnet)")};
  QString loadedPort;
  WhenShown<TAPConfigForm>([&](TAPConfigForm& editor) {
    loadedPort = editor.findChild<QComboBox*>("PortName")->currentText();
    editor.findChild<QComboBox*>("PortName")->setEditText("2323");
    ClickOk(editor);
  });
  Trigger("Add2");
  EXPECT_EQ(loadedPort, "13635");
  EXPECT_EQ(form->EntryNames().count("Tern(Telnet)"), 1);
  EXPECT_EQ(form->SelectedEntry(), "Tern(Telnet)");
  EXPECT_EQ(form->CurrentEntry().Port, "2323");
  EXPECT_EQ(Get<QLineEdit>("PortEdit")->text(), "2323");
}

TEST_F(WombatFormTest, AddingANewNameListsItOnlyWhenTheEditorClosesWithOk) {
  Start();
  ui.inputs = {QString("新しい局"), QString("Cancelled"), QString()};
  WhenShown<TAPConfigForm>([](TAPConfigForm& editor) {
    editor.findChild<QComboBox*>("HostName")->setEditText("bbs.example");
    ClickOk(editor);
  });
  Trigger("Add2");
  EXPECT_TRUE(form->EntryNames().contains("新しい局"));
  EXPECT_EQ(form->SelectedEntry(), "新しい局");
  EXPECT_EQ(Get<QLineEdit>("HostEdit")->text(), "bbs.example");

  WhenShown<TAPConfigForm>([](TAPConfigForm& editor) { editor.reject(); });
  Trigger("Add2");
  EXPECT_FALSE(form->EntryNames().contains("Cancelled"));
  EXPECT_EQ(form->SelectedEntry(), "新しい局");

  Trigger("Add2");  // an empty name opens nothing
  EXPECT_EQ(form->EntryNames().size(), 7);
}

TEST_F(WombatFormTest, LoggingCommandSwitchesTheLogManager) {
  Start();
  EXPECT_TRUE(Get<QAction>("Logging")->isChecked());
  Trigger("Logging");
  EXPECT_FALSE(Get<QAction>("Logging")->isChecked());
  EXPECT_FALSE(form->LogMgr().Enabled());
  Stop();
  EXPECT_EQ(Stored("Settings/LogEnabled"), "0");
  Start();
  EXPECT_FALSE(Get<QAction>("Logging")->isChecked());
  EXPECT_FALSE(form->LogMgr().Enabled());
}

TEST_F(WombatFormTest, FolderAndSoundDialogsChangeTheSettingsOnlyOnOk) {
  Start();
  const QString logs = home.DataFile("logs");
  QDir().mkpath(logs);
  WhenShown<TFolderForm>([&](TFolderForm& dialog) {
    dialog.SetFolders(home.DataFolder(), logs);
    dialog.accept();
  });
  Trigger("KL1");
  EXPECT_EQ(form->ShortcutFolder(), home.DataFolder());
  EXPECT_EQ(form->LogMgr().Folder(), ToPath(logs + "/"));

  WhenShown<TFolderForm>([](TFolderForm& dialog) {
    dialog.SetFolders("/elsewhere", "/elsewhere");
    dialog.reject();
  });
  Trigger("KL1");
  EXPECT_EQ(form->ShortcutFolder(), home.DataFolder());

  ui.fileNames = {"/sounds/Ring.wav"};
  WhenShown<TSoundConfigForm>([](TSoundConfigForm& dialog) {
    dialog.findChild<QPushButton*>("Button1")->click();
    dialog.findChild<QPushButton*>("Button3")->click();
  });
  Trigger("KS1");
  EXPECT_EQ(form->ConnectSound(), "/sounds/Ring.wav");
  EXPECT_EQ(form->DisconnectSound(), home.DataFile("Discon.wav"));
}

TEST_F(WombatFormTest, SettingsThatCannotBeSavedAreReportedAtExit) {
  Start();
  const QString file = home.SettingsFolder() + "/Zeb/Wombat.conf";
  ASSERT_TRUE(QFile::remove(file));
  QDir().mkpath(file);
  Stop();
  EXPECT_EQ(ui.messages.size(), 1);
}

}  // namespace
