#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "access/FolderSelect.h"
#include "access/SoundEdit.h"
#include "support/ScriptedUi.h"

namespace {

template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// Enters the text into the edit as the user does (one edit, as when pasted).
void Type(QLineEdit* edit, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(edit, &press);
}

void Focus(QLineEdit* edit) {
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QApplication::sendEvent(edit, &in);
}

class FolderFormTest : public testing::Test {
 protected:
  FolderFormTest() : form(ProgramFolder()) {
    QDir(root.path()).mkpath("logs");
    QDir(root.path()).mkpath("links");
    form.SetFolders(Path("links"), Path("logs"));
    form.show();
  }
  QString Path(const QString& name) const { return QDir(root.path()).filePath(name); }
  QString ProgramFolder() const { return QDir(root.path()).filePath("program"); }

  QTemporaryDir root;
  TScriptedUi ui;
  TFolderForm form;
};

TEST_F(FolderFormTest, TheListFollowsTheEditInUse) {
  EXPECT_EQ(form.Directory(), Path("logs"));
  QLineEdit* shortcut = Child<QLineEdit>(form, "ShortcutFolder");
  Focus(shortcut);
  EXPECT_EQ(form.Directory(), Path("links"));

  shortcut->clear();
  Type(shortcut, Path("logs"));
  EXPECT_EQ(form.Directory(), Path("logs"));
  EXPECT_EQ(form.ShortcutFolder(), Path("logs"));
  EXPECT_EQ(form.LogFolder(), Path("logs"));
}

TEST_F(FolderFormTest, AFolderThatDoesNotExistShowsTheProgramsFolder) {
  QDir().mkpath(ProgramFolder());
  QLineEdit* log = Child<QLineEdit>(form, "LogFolder");
  log->clear();
  Type(log, Path("missing"));
  EXPECT_EQ(form.Directory(), ProgramFolder());
  EXPECT_EQ(form.LogFolder(), ProgramFolder());
  EXPECT_EQ(form.ShortcutFolder(), Path("links"));
}

TEST_F(FolderFormTest, MakeFolderCreatesItInsideTheCurrentFolderAndMovesThere) {
  ui.inputs = {QString("新しい")};
  Child<QPushButton>(form, "Button3")->click();
  EXPECT_TRUE(QDir(Path("logs/新しい")).exists());
  EXPECT_EQ(form.Directory(), Path("logs/新しい"));
  EXPECT_EQ(form.LogFolder(), Path("logs/新しい"));
  EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(FolderFormTest, AFolderThatCannotBeMadeIsReportedAndNothingMoves) {
  for (const QString& name : {QString("logs"), QString("../escape"), QString("a/b")}) {
    QDir(root.path()).mkpath("logs/logs");
    ui.inputs = {name};
    ui.messages.clear();
    Child<QPushButton>(form, "Button3")->click();
    EXPECT_EQ(ui.messages.size(), 1) << name.toStdString();
    EXPECT_EQ(form.Directory(), Path("logs")) << name.toStdString();
    EXPECT_TRUE(form.isVisible());
  }
  EXPECT_FALSE(QDir(Path("escape")).exists());
  // An empty answer or Cancel does nothing at all.
  ui.inputs = {QString(), std::nullopt};
  ui.messages.clear();
  Child<QPushButton>(form, "Button3")->click();
  Child<QPushButton>(form, "Button3")->click();
  EXPECT_TRUE(ui.messages.isEmpty());
}

TEST(SoundForm, OkWritesBothPathsBackAndCancelKeepsThemEvenAfterBrowsing) {
  TScriptedUi ui;
  for (const bool ok : {false, true}) {
    QString connected = "/old/Connect.wav";
    QString disconnected = "/old/Discon.wav";
    TSoundConfigForm form(connected, disconnected, "/program");
    EXPECT_EQ(Child<QLineEdit>(form, "ConnectSound")->text(), connected);
    ui.fileNames = {"/new/Ring.wav", ""};  // the second browse is cancelled
    Child<QPushButton>(form, "Button1")->click();
    Child<QPushButton>(form, "Button2")->click();
    EXPECT_EQ(Child<QLineEdit>(form, "ConnectSound")->text(), "/new/Ring.wav");
    EXPECT_EQ(Child<QLineEdit>(form, "DisconSound")->text(), "/old/Discon.wav");
    Child<QPushButton>(form, ok ? "Button3" : "Button4")->click();
    EXPECT_EQ(form.result(), ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(connected, ok ? "/new/Ring.wav" : "/old/Connect.wav");
    EXPECT_EQ(disconnected, "/old/Discon.wav");
  }
}

}  // namespace
