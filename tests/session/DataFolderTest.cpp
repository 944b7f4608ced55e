// A data folder named with letters outside code page 932, as the folder
// under a user's home may be: it is created private, lists, loads, saves and
// logs under its own name.
#include <QDate>
#include <QDir>

#include "access/FuncConfig.h"
#include "session/ConnectingFixture.h"
#include "support/FileSizeLimit.h"
#include "support/LoopbackPeer.h"
#include "support/TempFolder.h"
#include "text/Codec.h"

namespace {

class DataFolderTest : public ConnectingTest {
 protected:
  DataFolderTest() { qputenv("WOMBAT_HOME", Folder().toUtf8()); }
  static QString Named() { return QStringLiteral("zoë〜—"); }
  QString Folder() const { return home.DataFolder() + "/" + Named(); }
  std::string FilePath(const QString& name) const { return (Folder() + "/" + name).toStdString(); }

  TLoopbackPeer peer;
};

TEST_F(DataFolderTest, AFirstStartCreatesItPrivateAndKeepsItsName) {
  Start();
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("\n").toStdString();
  EXPECT_EQ(FileMode(Folder().toStdString()), 0700u);
  EXPECT_EQ(form->EntryNames().size(), 6);
  EXPECT_EQ(form->CurrentEntry().Script, Sjis("**@P'[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road2"));
  EXPECT_EQ(FileMode(FilePath("Temp.ap")), 0600u);
  form.reset();
  EXPECT_EQ(QSettings("Zeb", "Wombat").value("Settings/LogFolder").toString(), Folder() + "/");
  EXPECT_EQ(QSettings("Zeb", "Wombat").value("Settings/IShortCutDir").toString(), Folder());
  EXPECT_EQ(ReadFileBytes(FilePath("FuncKey.txt")).size(), 36u * 2);
  EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(DataFolderTest, AnEntryLoadsWithItsPasswordAndEachBlockIsLoggedAtOnceInPrivateFiles) {
  ASSERT_TRUE(QDir().mkpath(Folder()));
  TAccessPoint accessPoint;
  accessPoint.SetFolder(ToPath(Folder()));
  TAPData entry;
  entry.HostName = "127.0.0.1";
  entry.Port = std::to_string(peer.Port());
  entry.Password = "secret";
  entry.LogName = "Lo";
  ASSERT_TRUE(accessPoint.Save("Peer", entry));
  SetSetting("AccessList/Default", "Peer");
  Start();
  EXPECT_EQ(form->CurrentEntry().Password, "secret");

  Click("Connect1");
  ASSERT_TRUE(peer.WaitForConnections(1));
  peer.Send("abc\r\nde");
  ASSERT_TRUE(WaitForLine("de"));
  // The block's complete line is in the file while the log is still open.
  const QString log = "Lo" + QDate::currentDate().toString("yyMMdd") + ".log";
  EXPECT_EQ(ReadFileBytes(FilePath(log)), "abc\r\n");
  EXPECT_EQ(FileMode(FilePath(log)), 0600u);
  Click("Disconnect1");
  ASSERT_FALSE(Connected());
  EXPECT_EQ(FileMode(FilePath("Phone.txt")), 0600u);
  EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("\n").toStdString();
}

// Changed function keys are saved at exit; a full disk keeps the old file.
TEST_F(DataFolderTest, AnExitOnAFullDiskKeepsTheOldFunctionKeys) {
  ASSERT_TRUE(QDir().mkpath(Folder()));
  std::string keys;
  for (int i = 0; i < 36; ++i) keys += "key" + std::to_string(i) + "\r\n";
  WriteFileBytes(FilePath("FuncKey.txt"), keys);
  Start();
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TFuncConfigForm*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->Edit->setText(QString(200, 'n'));
    dialog->Button3->click();
    dialog->OK->click();
  });
  Get<QAction>("KF1")->trigger();
  {
    TFileSizeLimit limit(100);
    form.reset();
  }
  EXPECT_EQ(ReadFileBytes(FilePath("FuncKey.txt")), keys);
  EXPECT_FALSE(ui.messages.isEmpty());
}

}  // namespace
