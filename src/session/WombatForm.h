#pragma once
// The main window: the access list at the top, the two views in the middle,
// the input line, the function key bar and the status line at the bottom.
// It owns the access list entry object and the session, whose state it shows,
// reads the settings when it is built and writes them back when it is
// destroyed. Its handlers live in one source file per concern (WombatForm*.cpp).

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "access/AccessPoint.h"
#include "session/FuncKeys.h"
#include "session/GenRegist.h"
#include "session/InputHistory.h"
#include "session/Session.h"
#include "session/StartupAddress.h"

class QAbstractButton;
class QAction;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSoundEffect;
class QToolButton;
class TConfigPanel;
class TDesktopNotifier;
class TTapiTerminal;
class THelpForm;
class TLogMgr;
class TQuokkaView;
class TSeparater;
class TSiblingServer;
struct TSiblingFrame;

class TWombatForm : public QMainWindow {
  // Made first: the pauses below are its own.
  TSession* const FSession;

 public:
  // arguments: the command line without the program's name; a telnet
  // address there is connected to at once.
  explicit TWombatForm(const QStringList& arguments = {}, QWidget* parent = nullptr);
  // Saves the settings (FormDestroy).
  ~TWombatForm() override;

  // The access name list.
  QStringList EntryNames() const;
  // The selected entry name; empty when none is selected.
  QString SelectedEntry() const;
  // The entry loaded by the last APNameListChange.
  const TAPData& CurrentEntry() const { return FCurrentEntry; }

  const QString& ConnectSound() const { return FConnectSound; }
  const QString& DisconnectSound() const { return FDisconnectSound; }
  const QString& ShortcutFolder() const { return FShortcutFolder; }
  const TLogMgr& LogMgr() const { return FSession->LogMgr(); }
  int ReconnectTimeOut() const { return FSession->ReconnectTimeOut; }
  const std::vector<std::string>& FunctionKeyTexts() const { return FFuncKeys.Texts; }

  // The transport of the connection.
  static constexpr int kNoConnection = static_cast<int>(TConnectKind::None);
  static constexpr int kSerialModem = static_cast<int>(TConnectKind::SerialModem);
  static constexpr int kTelephonyModem = static_cast<int>(TConnectKind::TelephonyModem);
  static constexpr int kTelnet = static_cast<int>(TConnectKind::Telnet);
  int ConnectKind() const { return static_cast<int>(FSession->Kind()); }

  // The pauses of the connection handling, in milliseconds; tests shorten them.
  TSession::TPauses& Pauses;
  // True while a pause runs.
  bool Paused() const { return FSession->Paused(); }

  // Sends text to the host through the session's transport, unchanged;
  // nothing when no connection is up. False when the transport refused the
  // text because too much already waits to be sent.
  bool SendToHost(const std::string& text) { return FSession->Send(text); }

  // The desktop notifications; tests point it at a bus of their own.
  TDesktopNotifier& Notifier() { return *FNotifier; }

  // Makes or updates the entry "Demo" for the demo host on this loopback
  // port, selects it and connects (WombatFormDemo.cpp).
  void ConnectDemo(quint16 port);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // WombatFormStart.cpp: building, showing, closing, simple commands.
  void BuildControls();
  void PlaceFirstWindow();
  QSize SmallestWindowSize() const;
  QRect FitToScreen(const QRect& bounds, const QSize& minimum) const;
  void KeepFrameOnScreen();
  QWidget* BuildAccessPanel();
  QWidget* BuildTerminalPanel();
  QWidget* BuildFunctionPanel();
  TQuokkaView* BuildView(const char* name, int maxLineCount, int maxChar, bool autoScroll);
  void BuildMainMenu();
  void BuildPopupMenu();
  QAction* AddCommand(QMenu* menu, const char* name, const QString& caption,
                      const QKeySequence& shortcut = {});
  void WireCommands();
  QList<QAction*> MenuCommands() const;
  // Connects a command to its handler. A command that has no handler yet
  // stays disabled, whatever the rules for enabling it say.
  void Wire(QAction* command, std::function<void()> handler);
  void Wire(QAbstractButton* command, std::function<void()> handler);
  void SetCommandEnabled(QAction* command, bool enabled);
  void SetCommandEnabled(QAbstractButton* command, bool enabled);
  void DisableUnwiredCommands();
  void FormShow();
  bool FormCloseQuery();
  void FormDestroy();
  void Exit1Click();
  void Help1Click();
  void Version2Click();

  // WombatFormSettings.cpp: the settings store and the access list at start.
  void SetAsideUnparsableSettings(TGenRegist& reg);
  void WriteProgramLocation(TGenRegist& reg);
  void LoadAccessList(TGenRegist& reg);
  void CreateDefaultEntries(const std::vector<std::string>& names);
  std::vector<std::string> AccessEntryNames();
  void LoadSettings(TGenRegist& reg);
  void LoadWindowSettings(TGenRegist& reg);
  void LoadViewSettings(TGenRegist& reg);
  void LoadViewLook(TGenRegist& reg, TQuokkaView& view, const TQuokkaView& defaults);
  void LoadInputFont(TGenRegist& reg);
  void LoadAccentWords(TGenRegist& reg);
  void LoadReplaceFonts();
  void SaveViewSettings(TGenRegist& reg);
  void SaveSettings();
  void UpdateSiblingCommand();

  // WombatFormAccess.cpp: the access name list and its commands.
  void APNameListChange();
  void Add2Click();
  void Edit2Click();
  void Delete2Click();
  void AccessPoint1Delete(TAccessPoint& sender, const std::string& name, int kind);
  bool EditEntry(const QString& name, bool isNew);
  void KS1Click();
  void KL1Click();
  void LoggingClick();

  // WombatFormConnect.cpp: the connection commands and what the window
  // shows of the session.
  void WireConnectionCommands();
  void CreateConnectionParts();
  void ShowSession();
  void ShowInViews(const std::vector<std::string>& lines, const std::string& partialLine);
  bool CanConnect() const;
  void SelectStartupEntry();
  void ConnectToStartupAddress();
  void ConnectToAddress(const TStartupAddress& address);
  // WombatFormTelnetLink.cpp: a telnet link connects this window; true when
  // url is one.
  bool OpenTelnetLink(const QString& url);
  void Connect1Click();
  void Disconnect1Click();
  void CancelButtonClick();
  void ChangeTimeOutClick();
  void PlaySoundFile(const QString& path);
  void K2Click();
  void EnsureTempEntry();
  void SelectEntry(const QString& name);

  // WombatFormReconnect.cpp: reconnecting a dropped line and the switch of
  // the desktop notifications.
  void AddCompanionCommands(QMenu* menu);
  void WireCompanionCommands();
  void LoadCompanionSettings(TGenRegist& reg);
  void SaveCompanionSettings(TGenRegist& reg) const;

  // WombatFormNotify.cpp: desktop notifications of lines for the user.
  void CreateNotifier();
  void NotifyLines(const std::vector<std::string>& lines);
  TDesktopNotifier* FNotifier = nullptr;

  // WombatFormInput.cpp: the input line, function keys and clipboard.
  void WireInputCommands();
  void LoadFunctionKeys();
  void SaveFunctionKeys();
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool IsCommandKey(const QKeyEvent& key) const;
  bool IsView(const QObject* watched) const;
  void RedirectToInputLine(const QKeyEvent& key);
  bool StepIntoHistory(const QKeyEvent& key);
  bool FormKeyDown(QKeyEvent& key);
  void FormKeyUp(QKeyEvent& key);
  void StoreShiftState(const QKeyEvent& key);
  void InputEditKeyPress();
  // True when text can go to the host: every character has a code in code
  // page 932, or the user agrees to "?" for those without (WombatFormSendCheck.cpp).
  bool ConfirmSendable(const QString& text);
  // Tells the user that text for the host was refused.
  void ShowOutputFull();
  void ShowHistory();
  void SpeedButton1Click(int tag);
  void SetFunctionKeyCaptions();
  void FunctionPanelResize();
  void KF1Click();
  void Paste1Click();
  void Paste2Click();

  // WombatFormLinks.cpp: the two views, links, clipboard, shortcut files and
  // the history view.
  void WireLinkCommands();
  void LogViewMouseMove(TQuokkaView& sender);
  void PopupMenu1Popup();
  void PopupMenu1Close();
  void Copy1Click();
  void WatchSelection(const QObject* watched, const QEvent& event);
  void FillPrimarySelection(const TQuokkaView& view);
  void Jump1Click();
  void ShortCut1Click();
  void URLCopy1Click();
  void Clear1Click();
  void KI1Click();
  void ScrollUp1Click();
  void ScrollDown1Click();
  void TerminalViewViewLineChanging(TQuokkaView& sender, int32_t& value);
  void LogViewViewLineChanged(TQuokkaView& sender);
  void OpenHistoryView(int32_t& terminalTopLine);
  void CloseHistoryView();

  // WombatFormWidth.cpp: a window wide enough for 80 columns of the view's font.
  int EightyColumnViewWidth() const;
  void WidenForEightyColumns();
  int WidenWithinScreen(int extra);
  int FPanelWidening = 0;  // what opening the panel added to the window's width

  // WombatFormPanel.cpp: the view settings panel.
  TConfigPanel* BuildConfigPanel(QWidget* parent);
  void WirePanelCommands();
  void A1Click();
  void Button15Click();
  void HidePanel();
  void SetInputFont(const QFont& font);

  // WombatFormSibling.cpp: the link with sibling programs (a local socket
  // whose name is in the settings), starting the sibling, and the end of the
  // desktop session.
  void CreateSiblingLink();
  void WireSiblingCommands();
  void CloseSiblingLink();
  void ExecQuokkaClick();
  uint64_t SiblingRequest(const TSiblingFrame& frame);
  // False when the text was refused because too much waits to be sent.
  bool SendSiblingText(const std::string& text);
  void SiblingDisconnectRequest();
  void SiblingConnectRequest(const std::string& entryName);
  void ServePendingConnect();
  void ConnectToEntry(const QString& name);
  void SiblingQuitRequest();
  void WatchSessionEnd();
  void ServeEarlySessionEnd();
  void EndSession();
  void EndWhileBuilding();
  TSiblingServer* FSiblingServer = nullptr;
  QString FLinkServerName;
  bool FConnectPending = false;
  QString FPendingEntry;
  static constexpr std::size_t kMaxDeferredSiblingBytes = 4 << 20;
  std::size_t FDeferredSiblingBytes = 0;  // sibling text waiting for a pause to end

  // Owned objects.
  std::unique_ptr<TAccessPoint> AccessPoint1;
  TTapiTerminal* TAPI;  // lists the modems for the entry editor
  QSoundEffect* MediaPlayer1;
  TFuncKeys FFuncKeys;
  TInputHistory FHistory;

  // Settings and state.
  TAPData FCurrentEntry;
  std::optional<TStartupAddress> FStartupAddress;
  bool FShown = false;
  // The constructor has run to its end; before that a session end waits.
  bool FBuilt = false;
  bool FEndRequested = false;
  QString FConnectSound;
  QString FDisconnectSound;
  QString FShortcutFolder;
  QString FSiblingPath;
  int FTermHeight = 200;
  TColor FInputFontColor = clWindowText;
  QSet<const QObject*> FWiredCommands;
  TQuokkaView* FViewUnderMouse = nullptr;
  uint8_t FLinkKind = 0;
  std::string FLinkText;
  bool FUpdatingViews = false;
  bool FViewEventsDetached = false;
  QPointer<THelpForm> FHelpForm;

  // Controls.
  QFrame* AccessPanel;
  QComboBox* APNameList;
  QPushButton* Edit1;
  QPushButton* CancelButton;
  QLineEdit* HostEdit;
  QLineEdit* PortEdit;
  QPushButton* Connect1;
  QPushButton* Disconnect1;
  QWidget* TerminalPanel;
  QWidget* ViewPanel;
  TQuokkaView* LogView;
  TQuokkaView* TerminalView;
  TSeparater* Separater1;
  QFrame* InputPanel;
  QComboBox* InputEdit;
  TConfigPanel* ConfigPanel;
  QFrame* FunctionPanel;
  std::array<QToolButton*, 12> FSpeedButtons;
  QLabel* StatusPanel;

  // Main menu.
  QAction* Connect2;
  QAction* K2;
  QAction* Disconnect2;
  QAction* KB1;
  QAction* KI1;
  QAction* Logging;
  QAction* ExecQuokka;
  QAction* Exit1;
  QAction* Add2;
  QAction* Edit2;
  QAction* Delete2;
  QAction* A1;
  QAction* KF1;
  QAction* KS1;
  QAction* KL1;
  QAction* ChangeTimeOut;
  QAction* AutoReconnect1;
  QAction* Notify1;
  QAction* Help1;
  QAction* Version2;

  // Popup menu of the window and both views.
  QMenu* PopupMenu1;
  QAction* Copy1;
  QAction* Paste1;
  QAction* Paste2;
  QAction* Jump1;
  QAction* ShortCut1;
  QAction* URLCopy1;
  QAction* Clear1;
  QAction* A2;
  QAction* ScrollUp1;
  QAction* ScrollDown1;
};
