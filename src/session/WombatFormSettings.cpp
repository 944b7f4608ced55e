// The settings: read once while the window is built, written once when it
// is destroyed, in a fixed order; and the access list found (or created) at
// start.
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <algorithm>
#include <limits>

#include "access/APConfig.h"
#include "access/FileList.h"
#include "session/DefaultSounds.h"
#include "session/ProgramFolder.h"
#include "session/SettingsBounds.h"
#include "session/WombatForm.h"
#include "text/Analysis.h"
#include "text/Codec.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"

namespace {

const QString kMainWindow = QStringLiteral("MainWindow");
const QString kSettings = QStringLiteral("Settings");
const QString kSounds = QStringLiteral("Sounds");
// Spelled so: a group of its own beside MainWindow.
const QString kTerminal = QStringLiteral("MainWondow\\Terminal");
const char* const kTempEntry = "Temp";
constexpr int kDefaultBound = 200;
constexpr int kNotStored = std::numeric_limits<int>::min();

struct TDefaultEntry {
  const char* name;
  const char* hostName;
  const char* port;
  const char* script;
  const char* logName;
};

const TDefaultEntry kDefaultEntries[] = {
    {"NIFTY(Road2)", "", "", "**@P'[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road2", "Ni"},
    {"NIFTY(Road5)", "", "", "[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road3～5", "Ni"},
    {"NIFTY(Road7)", "", "", "[:]NIFTY'[:]'[>]SVC'[>]$I'[>]$P'; ⇒Road7", "Ni"},
    {"NIFTY(Telnet)", kServiceTelnetHost, "23", "[>]SVC'[>]$I'[>]$P'; ⇒Telnet", "Ni"},
    {"Tern(Telnet)", kChatHost, "13635", "[:]$I'; ⇒Tern", "Te"},
};

// The colours that both views take from the settings, in the stored order.
struct TViewColor {
  const char* ident;
  QColor (TQuokkaView::*get)() const;
  void (TQuokkaView::*set)(const QColor&);
};

const TViewColor kViewColors[] = {
    {"UserColor", &TQuokkaView::UserColor, &TQuokkaView::SetUserColor},
    {"PageColor", &TQuokkaView::PageColor, &TQuokkaView::SetPageColor},
    {"HandleColor", &TQuokkaView::HandleColor, &TQuokkaView::SetHandleColor},
    {"AddressColor", &TQuokkaView::AddressColor, &TQuokkaView::SetAddressColor},
    {"MailAddressColor", &TQuokkaView::MailAddressColor, &TQuokkaView::SetMailAddressColor},
    {"AccentColor", &TQuokkaView::AccentColor, &TQuokkaView::SetAccentColor},
    {"AccentBackColor", &TQuokkaView::AccentBackColor, &TQuokkaView::SetAccentBackColor},
    {"ConvColor", &TQuokkaView::ConvColor, &TQuokkaView::SetConvColor},
};

QColor ReadColor(TGenRegist& reg, const QString& ident, const QColor& defaultValue) {
  const TColor fallback = TColorFromColor(defaultValue);
  return ColorFromTColor(
      BoundColor(reg.ReadIntegerData(kWombatKey, kTerminal, ident, fallback), fallback));
}

void WriteColor(TGenRegist& reg, const QString& ident, const QColor& value) {
  reg.WriteIntegerData(kWombatKey, kTerminal, ident, TColorFromColor(value));
}

QString ReadString(TGenRegist& reg, const QString& section, const QString& ident,
                   const QString& defaultValue) {
  QString value;
  reg.ReadStringData(kWombatKey, section, ident, defaultValue, value);
  return value;
}

}  // namespace

// A settings file that cannot be parsed could never be written again: it is
// kept beside under another name and the program starts with its defaults.
void TWombatForm::SetAsideUnparsableSettings(TGenRegist& reg) {
  const QString keptAs = reg.SetAsideUnparsableStore(kWombatKey);
  if (keptAs.isEmpty()) return;
  PlatformUi().ShowMessage("設定ﾌｧｲﾙを読み込めないため、初期設定で起動します。元のﾌｧｲﾙは " +
                           keptAs + " に残しました。");
}

// The program's location for the sibling program, and the sibling's own.
void TWombatForm::WriteProgramLocation(TGenRegist& reg) {
  reg.WriteStringData(kWombatKey, "Directory", "ExeName", QCoreApplication::applicationFilePath());
  QString siblingFolder;
  reg.ReadStringData(kQuokkaKey, "Directory", "OnExecuting", QString(), siblingFolder);
  FSiblingPath = siblingFolder.isEmpty() ? QString() : QDir(siblingFolder).filePath("Quokka");
}

void TWombatForm::UpdateSiblingCommand() {
  const QFileInfo sibling(FSiblingPath);
  SetCommandEnabled(ExecQuokka, !FSiblingPath.isEmpty() && sibling.isFile() && sibling.isExecutable());
}

// The names of the "*.ap" files in the access list folder, without ".ap".
std::vector<std::string> TWombatForm::AccessEntryNames() {
  TFileList files;
  files.SetMask("*.ap");
  std::vector<std::string> names;
  files.Enumerate(AccessPoint1->Folder(), &names);
  for (std::string& name : names) name.resize(name.size() - 3);
  return names;
}

void TWombatForm::CreateDefaultEntries(const std::vector<std::string>& names) {
  if (names.empty() || (names.size() == 1 && names.front().empty())) {
    for (const TDefaultEntry& entry : kDefaultEntries) {
      TAPData record;
      record.HostName = entry.hostName;
      record.Port = entry.port;
      record.Script = Sjis(entry.script);
      record.LogName = entry.logName;
      AccessPoint1->Save(entry.name, record);
    }
  }
  if (std::find(names.begin(), names.end(), kTempEntry) == names.end())
    AccessPoint1->Save(kTempEntry, TAPData{});
}

// Fills the entry list, creating the default entries on a first start, and
// selects the entry of the last session (else the first).
void TWombatForm::LoadAccessList(TGenRegist& reg) {
  CreateDefaultEntries(AccessEntryNames());
  QStringList names;
  for (const std::string& name : AccessEntryNames()) names << ToQString(name);
  names.sort(Qt::CaseInsensitive);
  APNameList->clear();
  APNameList->addItems(names);
  const int last = APNameList->findText(ReadString(reg, "AccessList", "Default", QString()));
  APNameList->setCurrentIndex(last >= 0 ? last : 0);
}

// Stored bounds are fitted to the screen nearest to them, so that a window
// saved on a monitor that is gone opens on one that is there; without them
// the window opens at its natural size.
void TWombatForm::LoadWindowSettings(TGenRegist& reg) {
  const int left = reg.ReadIntegerData(kWombatKey, kMainWindow, "Left", kNotStored);
  const int top = reg.ReadIntegerData(kWombatKey, kMainWindow, "Top", kNotStored);
  const int height = reg.ReadIntegerData(kWombatKey, kMainWindow, "Height", kNotStored);
  const int width = reg.ReadIntegerData(kWombatKey, kMainWindow, "Width", kNotStored);
  if (std::min({left, top, height, width}) == kNotStored) {
    PlaceFirstWindow();
  } else {
    // Stored as the frame's position and the inside's size, as they were saved.
    const QRect fitted = FitToScreen(StoredBounds(left, top, width, height), SmallestWindowSize());
    move(fitted.topLeft());
    resize(fitted.size());
  }
  const int termHeight = reg.ReadIntegerData(kWombatKey, kMainWindow, "TermHeight", kDefaultBound);
  FTermHeight = std::min(std::max(termHeight, SmallestWindowSize().height()), this->height());
  FunctionPanel->setVisible(reg.ReadBoolData(kWombatKey, kSettings, "FunctionKey", true));
}

void TWombatForm::LoadSettings(TGenRegist& reg) {
  const QDir folder(ProgramFolder());
  InstallDefaultSounds(folder.path());
  FConnectSound = ReadString(reg, kSounds, "Connected", folder.filePath(kConnectSoundName));
  FDisconnectSound =
      ReadString(reg, kSounds, "Disconnected", folder.filePath(kDisconnectSoundName));
  FSession->LogMgr().SetFolder(ToPath(ReadString(reg, kSettings, "LogFolder", folder.path())));
  FSession->ReconnectTimeOut = BoundTimeOut(reg.ReadIntegerData(kWombatKey, kSettings, "TimeOut", 20));
  const bool logEnabled = reg.ReadBoolData(kWombatKey, kSettings, "LogEnabled", true);
  FSession->LogMgr().SetEnabled(logEnabled);
  Logging->setChecked(logEnabled);
  FShortcutFolder = ReadString(reg, kSettings, "IShortCutDir", folder.path());
  LoadCompanionSettings(reg);
  LoadViewSettings(reg);
  LoadInputFont(reg);
  LoadAccentWords(reg);
  // After the fonts: a first window takes its width from the view's font.
  LoadWindowSettings(reg);
}

// The terminal view's look is read first; the log view reads the same values
// with the terminal view's as defaults, all but the background.
void TWombatForm::LoadViewSettings(TGenRegist& reg) {
  for (TQuokkaView* view : {TerminalView, LogView}) {
    view->SetEightyColumns(reg.ReadBoolData(kWombatKey, kTerminal, "EightyColumn", true));
    view->SetVSpace(BoundVSpace(reg.ReadIntegerData(kWombatKey, kTerminal, "VSpace", 1)));
  }
  TerminalView->SetColor(ReadColor(reg, "Color", TerminalView->Color()));
  LoadViewLook(reg, *TerminalView, *TerminalView);
  const TFontData designFont{TerminalView->font(), TColorFromColor(TerminalView->FontColor())};
  TFontData font;
  reg.ReadTFontData(kWombatKey, kMainWindow, "Terminal", designFont, font);
  LoadViewLook(reg, *LogView, *TerminalView);
  // New lines take the font's colour, so that a text colour chosen in the
  // settings panel outlives the session.
  for (TQuokkaView* view : {TerminalView, LogView}) {
    view->setFont(font.Font);
    view->SetFontColor(ColorFromTColor(font.Color));
    view->SetTextColor(ColorFromTColor(font.Color));
  }
}

void TWombatForm::LoadViewLook(TGenRegist& reg, TQuokkaView& view, const TQuokkaView& defaults) {
  for (const TViewColor& color : kViewColors)
    (view.*color.set)(ReadColor(reg, color.ident, (defaults.*color.get)()));
  view.SetIgnoreAccent(
      reg.ReadBoolData(kWombatKey, kTerminal, "IgnoreAccent", defaults.IgnoreAccent()));
  view.SetIgnoreMotion(
      reg.ReadBoolData(kWombatKey, kTerminal, "IgnoreMotion", defaults.IgnoreMotion()));
  view.SetMotionInterval(BoundMotionInterval(
      reg.ReadIntegerData(kWombatKey, kTerminal, "MotionInterval", defaults.MotionInterval())));
}

void TWombatForm::LoadInputFont(TGenRegist& reg) {
  TFontData font;
  reg.ReadTFontData(kWombatKey, kMainWindow, "InputBox", {InputEdit->font(), FInputFontColor},
                    font);
  FInputFontColor = font.Color;
  QPalette palette = InputEdit->palette();
  palette.setColor(QPalette::Text, ColorFromTColor(FInputFontColor));
  InputEdit->setPalette(palette);
  SetInputFont(font.Font);
}

// The emphasised words, normalised; empty ones are skipped. The count is
// believed only as far as the words are there, and up to kMaxAccentWords.
void TWombatForm::LoadAccentWords(TGenRegist& reg) {
  const int count =
      std::min(reg.ReadIntegerData(kWombatKey, kTerminal, "AccentNumber", 0), kMaxAccentWords);
  for (int i = 1; i <= count; ++i) {
    const QString ident = QString("Accent%1").arg(i);
    if (!reg.ValueExists(kWombatKey, kTerminal, ident)) break;
    const std::string word = NormalizeText(FromQString(ReadString(reg, kTerminal, ident, QString())));
    if (word.empty()) continue;
    TerminalView->AccentWords().Add(word);
    LogView->AccentWords().Add(word);
  }
}

void TWombatForm::LoadReplaceFonts() {
  TerminalView->ReplaceFonts().LoadFromFile(
      QDir(ProgramFolder()).filePath("Replace.txt").toStdString());
}

// The values reach the file together, in one write.
void TWombatForm::SaveSettings() {
  TGenRegist reg;
  reg.BeginWrites(kWombatKey);
  reg.WriteStringData(kWombatKey, "AccessList", "Default", APNameList->currentText());
  reg.WriteIntegerData(kWombatKey, kMainWindow, "Left", x());
  reg.WriteIntegerData(kWombatKey, kMainWindow, "Top", y());
  reg.WriteIntegerData(kWombatKey, kMainWindow, "Height", height());
  // The panel is closed at the next start: the width it added is not kept.
  reg.WriteIntegerData(kWombatKey, kMainWindow, "Width", width() - FPanelWidening);
  reg.WriteIntegerData(kWombatKey, kMainWindow, "TermHeight", FTermHeight);
  reg.WriteBoolData(kWombatKey, kSettings, "FunctionKey", !FunctionPanel->isHidden());
  reg.WriteStringData(kWombatKey, kSounds, "Connected", FConnectSound);
  reg.WriteStringData(kWombatKey, kSounds, "Disconnected", FDisconnectSound);
  reg.WriteIntegerData(kWombatKey, kSettings, "TimeOut", FSession->ReconnectTimeOut);
  reg.WriteStringData(kWombatKey, kSettings, "LogFolder", FromPath(FSession->LogMgr().Folder()));
  reg.WriteBoolData(kWombatKey, kSettings, "LogEnabled", FSession->LogMgr().Enabled());
  reg.WriteStringData(kWombatKey, kSettings, "IShortCutDir", FShortcutFolder);
  SaveCompanionSettings(reg);
  SaveViewSettings(reg);
  reg.CommitWrites();
}

// Only the terminal view's values are kept; the log view takes them at the
// next start.
void TWombatForm::SaveViewSettings(TGenRegist& reg) {
  reg.WriteBoolData(kWombatKey, kTerminal, "EightyColumn", TerminalView->EightyColumns());
  reg.WriteIntegerData(kWombatKey, kTerminal, "VSpace", TerminalView->VSpace());
  WriteColor(reg, "Color", TerminalView->Color());
  for (const TViewColor& color : kViewColors)
    WriteColor(reg, color.ident, (TerminalView->*color.get)());
  reg.WriteBoolData(kWombatKey, kTerminal, "IgnoreAccent", TerminalView->IgnoreAccent());
  reg.WriteBoolData(kWombatKey, kTerminal, "IgnoreMotion", TerminalView->IgnoreMotion());
  reg.WriteIntegerData(kWombatKey, kTerminal, "MotionInterval", TerminalView->MotionInterval());
  reg.WriteTFontData(kWombatKey, kMainWindow, "Terminal",
                     {TerminalView->font(), TColorFromColor(TerminalView->FontColor())});
  reg.WriteTFontData(kWombatKey, kMainWindow, "InputBox", {InputEdit->font(), FInputFontColor});
  const TNotifyStrings& words = TerminalView->AccentWords();
  reg.WriteIntegerData(kWombatKey, kTerminal, "AccentNumber", words.Count());
  for (int i = 0; i < words.Count(); ++i)
    reg.WriteStringData(kWombatKey, kTerminal, QString("Accent%1").arg(i + 1), ToQString(words[i]));
}
