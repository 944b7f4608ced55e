// The main window's frame: building the controls and menus, the order of
// the constructor, showing, closing, and the simple menu commands.
#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "access/version.h"
#include "session/ConfigPanel.h"
#include "session/HelpPage.h"
#include "session/ProgramFolder.h"
#include "session/SettingsBounds.h"
#include "session/WombatForm.h"
#include "text/LogMgr.h"
#include "text/QtCodec.h"
#include "view/Fonts.h"
#include "view/PlatformUi.h"
#include "view/QuokkaView.h"
#include "view/Separate.h"

namespace {

constexpr int kDesignWidth = 530;
constexpr int kDesignHeight = 551;
constexpr int kAccessPanelHeight = 57;
constexpr int kInputPanelHeight = 20;
constexpr int kFunctionPanelHeight = 25;
constexpr int kStatusPanelHeight = 18;
constexpr int kSeparaterWidth = 4;

QFont DesignFont(const char* family) {
  QFont font(family);
  font.setPixelSize(12);
  return font;
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

template <typename T>
T* Placed(T* widget, const char* name, int x, int y, int width, int height = 22) {
  widget->setGeometry(x, y, width, height);
  return Named(widget, name);
}

QFrame* Panel(QWidget* parent, const char* name) {
  auto* panel = Named(new QFrame(parent), name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return panel;
}

}  // namespace

TWombatForm::TWombatForm(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent),
      FSession(new TSession(this)),
      Pauses(FSession->Pauses),
      AccessPoint1(std::make_unique<TAccessPoint>()),
      FStartupAddress(StartupAddress(arguments)) {
  BuildControls();
  CreateConnectionParts();
  WireCommands();
  DisableUnwiredCommands();
  WatchSessionEnd();

  AccessPoint1->ShowMessage = [](const std::string& text) {
    PlatformUi().ShowMessage(QString::fromStdString(text));
  };
  AccessPoint1->Confirm = [](const std::string& text) {
    return PlatformUi().Confirm(QString::fromStdString(text));
  };
  AccessPoint1->OnDelete = [this](TAccessPoint& sender, const std::string& name, int kind) {
    AccessPoint1Delete(sender, name, kind);
  };
  FSession->LogMgr().ShowMessage = [](const std::string& text) {
    PlatformUi().ShowMessage(QString::fromStdString(text));
  };

  AccessPoint1->SetFolder(ToPath(ProgramFolder()));
  TGenRegist reg;
  SetAsideUnparsableSettings(reg);
  WriteProgramLocation(reg);
  LoadAccessList(reg);
  SelectStartupEntry();
  APNameListChange();
  LogView->hide();
  Separater1->hide();
  LoadSettings(reg);
  LoadFunctionKeys();
  LoadReplaceFonts();
  UpdateSiblingCommand();
  ConnectToStartupAddress();
  CreateSiblingLink();
  ServeEarlySessionEnd();
}

TWombatForm::~TWombatForm() {
  FormDestroy();
}

void TWombatForm::BuildControls() {
  setWindowTitle("Wombat");
  setFont(DesignFont("ＭＳ ゴシック"));
  resize(kDesignWidth, kDesignHeight);

  // The window is never made smaller than its layout needs, so that every
  // button and the status line stay whole.
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(BuildAccessPanel());
  layout->addWidget(BuildTerminalPanel(), 1);
  layout->addWidget(BuildFunctionPanel());
  StatusPanel = Named(new QLabel(central), "StatusPanel");
  StatusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusPanel->setFixedHeight(kStatusPanelHeight);
  StatusPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StatusPanel->setMinimumWidth(1);
  layout->addWidget(StatusPanel);
  setCentralWidget(central);

  BuildMainMenu();
  BuildPopupMenu();
}

// A first start has no stored bounds: the window opens at the natural size
// of its layout, never smaller than its design, centred on the screen. It is
// as wide as 80 columns of the view's font need; the view then spans it.
void TWombatForm::PlaceFirstWindow() {
  ensurePolished();
  const QSize design(std::max(kDesignWidth, EightyColumnViewWidth()), kDesignHeight);
  resize(sizeHint().expandedTo(design));
  if (const QScreen* place = screen())
    move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), place->availableGeometry())
             .topLeft());
}

// The smallest size a restored window takes: what its layout needs at least.
QSize TWombatForm::SmallestWindowSize() const {
  return minimumSizeHint().expandedTo(minimumSize()).expandedTo(QSize(1, 1));
}

// `bounds` fitted to the available part of the screen nearest to them.
QRect TWombatForm::FitToScreen(const QRect& bounds, const QSize& minimum) const {
  const QList<QScreen*> screens = QGuiApplication::screens();
  QList<QRect> areas;
  for (const QScreen* each : screens) areas << each->geometry();
  const int nearest = NearestArea(bounds, areas);
  if (nearest < 0) return bounds;
  return FitToArea(bounds, screens[nearest]->availableGeometry(), minimum);
}

// Once shown, the frame is known: the window moves (and shrinks, never below
// its smallest size) so that the frame is on the screen too.
void TWombatForm::KeepFrameOnScreen() {
  const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  const QSize frameExtra(margins.left() + margins.right(), margins.top() + margins.bottom());
  const QRect frame = geometry().marginsAdded(margins);
  const QRect fitted = FitToScreen(frame, SmallestWindowSize() + frameExtra);
  if (fitted != frame) setGeometry(fitted.marginsRemoved(margins));
}

QWidget* TWombatForm::BuildAccessPanel() {
  AccessPanel = Panel(this, "AccessPanel");
  AccessPanel->setFixedHeight(kAccessPanelHeight);

  auto* nameLabel = new QLabel("ｱｸｾｽ名(&L)", AccessPanel);
  nameLabel->setGeometry(8, 8, 70, 18);
  APNameList = Placed(new QComboBox(AccessPanel), "APNameList", 80, 6, 248);
  nameLabel->setBuddy(APNameList);
  Edit1 = Placed(new QPushButton("編集(&E)", AccessPanel), "Edit1", 336, 5, 88, 24);
  CancelButton = Placed(new QPushButton("中止", AccessPanel), "CancelButton", 430, 5, 88, 24);
  CancelButton->setShortcut(Qt::Key_Escape);

  auto* hostLabel = new QLabel("接続先", AccessPanel);
  hostLabel->setGeometry(8, 33, 70, 18);
  HostEdit = Placed(new QLineEdit(AccessPanel), "HostEdit", 80, 31, 190);
  HostEdit->setReadOnly(true);
  PortEdit = Placed(new QLineEdit(AccessPanel), "PortEdit", 274, 31, 54);
  Connect1 = Placed(new QPushButton("接続(&C)", AccessPanel), "Connect1", 336, 30, 88, 24);
  Disconnect1 = Placed(new QPushButton("切断(&B)", AccessPanel), "Disconnect1", 430, 30, 88, 24);
  for (QPushButton* button : {Edit1, CancelButton, Connect1, Disconnect1})
    button->setAutoDefault(false);
  // The rightmost buttons whole, with the margin the labels have on the left.
  AccessPanel->setMinimumWidth(Disconnect1->geometry().right() + 1 + hostLabel->x());
  return AccessPanel;
}

QWidget* TWombatForm::BuildTerminalPanel() {
  TerminalPanel = Named(new QWidget(this), "TerminalPanel");
  ViewPanel = Named(new QWidget(TerminalPanel), "ViewPanel");
  auto* views = new QVBoxLayout(ViewPanel);
  views->setContentsMargins(0, 0, 0, 0);
  views->setSpacing(0);
  LogView = BuildView("LogView", 5000, 255, false);
  TerminalView = BuildView("TerminalView", 100, 151, true);
  TerminalView->SetAddressColor(ColorFromTColor(clBlue));
  TerminalView->SetMailAddressColor(ColorFromTColor(clGreen));
  TerminalView->SetPageColor(ColorFromTColor(clPurple));
  TerminalView->SetUserColor(ColorFromTColor(clGreen));
  TerminalView->SetHandleColor(ColorFromTColor(clRed));
  views->addWidget(LogView);
  views->addWidget(TerminalView, 1);
  // The bar between the views sets the height of the history view.
  Separater1 = Named(new TSeparater(ViewPanel), "Separater1");
  Separater1->SetKind(TSeparater::dkVertical);
  Separater1->SetUpperMgn(2);
  Separater1->SetLowerMgn(5);
  Separater1->SetLineWidth(kSeparaterWidth);
  Separater1->SetReSizeCtrl(LogView);

  ConfigPanel = BuildConfigPanel(TerminalPanel);

  InputPanel = Panel(TerminalPanel, "InputPanel");
  InputPanel->setFixedHeight(kInputPanelHeight);
  InputEdit = Named(new QComboBox(InputPanel), "InputEdit");
  InputEdit->setEditable(true);
  InputEdit->setInsertPolicy(QComboBox::NoInsert);
  InputEdit->setMinimumWidth(1);
  auto* input = new QHBoxLayout(InputPanel);
  input->setContentsMargins(0, 0, 0, 0);
  input->addWidget(InputEdit);

  auto* upper = new QHBoxLayout;
  upper->setSpacing(0);
  upper->addWidget(ViewPanel, 1);
  upper->addWidget(ConfigPanel);
  auto* layout = new QVBoxLayout(TerminalPanel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(upper, 1);
  layout->addWidget(InputPanel);
  return TerminalPanel;
}

// A view with the design values that both views share.
TQuokkaView* TWombatForm::BuildView(const char* name, int maxLineCount, int maxChar,
                                    bool autoScroll) {
  auto* view = Named(new TQuokkaView(ViewPanel), name);
  view->SetMaxLineCount(maxLineCount);
  view->SetMaxChar(maxChar);
  view->SetAutoScroll(autoScroll);
  for (auto setColor :
       {&TQuokkaView::SetAddressColor, &TQuokkaView::SetMailAddressColor,
        &TQuokkaView::SetPageColor, &TQuokkaView::SetUserColor, &TQuokkaView::SetHandleColor,
        &TQuokkaView::SetConvColor, &TQuokkaView::SetAccentColor})
    (view->*setColor)(ColorFromTColor(clBlack));
  view->SetAccentBackColor(ColorFromTColor(clWindow));
  view->SetColor(ColorFromTColor(clWindow));
  view->setFont(DefaultTerminalFont());
  TBvStyle style;
  style.Include(bvClientLow);
  view->SetBvStyle(style);
  view->SetCaret(true);
  view->SetSelect(true);
  view->SetScrollBar(ssVertical);
  view->SetScrollSense(1);
  view->SetVSpace(1);
  view->SetEightyColumns(true);
  view->SetCapacity(0);
  view->SetPCanLimit(0);
  view->SetViewTabStop(0);
  view->SetIgnoreEffect(false);
  view->SetHalfScroll(false);
  view->SetNormalMode(false);
  view->SetIgnoreAccent(false);
  view->SetIgnoreMotion(false);
  view->SetMotionInterval(300);
  return view;
}

QWidget* TWombatForm::BuildFunctionPanel() {
  FunctionPanel = Panel(this, "FunctionPanel");
  FunctionPanel->setFixedHeight(kFunctionPanelHeight);
  FunctionPanel->setFont(DesignFont("ＭＳ Ｐゴシック"));
  // The buttons are placed when the panel is resized.
  for (int tag = 0; tag < static_cast<int>(FSpeedButtons.size()); ++tag) {
    auto* button = new QToolButton(FunctionPanel);
    button->setObjectName(QString("SpeedButton%1").arg(tag + 1));
    button->setProperty("Tag", tag);
    button->setMinimumSize(1, 1);
    FSpeedButtons[tag] = button;
  }
  return FunctionPanel;
}

QAction* TWombatForm::AddCommand(QMenu* menu, const char* name, const QString& caption,
                                 const QKeySequence& shortcut) {
  auto* command = menu->addAction(caption);
  command->setObjectName(name);
  command->setShortcut(shortcut);
  return command;
}

void TWombatForm::BuildMainMenu() {
  QMenu* file = menuBar()->addMenu("ﾌｧｲﾙ(&F)");
  Connect2 = AddCommand(file, "Connect2", "接続(&O)", QKeySequence(Qt::CTRL | Qt::Key_O));
  K2 = AddCommand(file, "K2", "ｱﾄﾞﾚｽを指定して接続(&C)");
  Disconnect2 = AddCommand(file, "Disconnect2", "切断(&D)", QKeySequence(Qt::CTRL | Qt::Key_D));
  KB1 = AddCommand(file, "KB1", "ﾌﾞﾚｰｸ信号送出(&B)", QKeySequence(Qt::CTRL | Qt::Key_B));
  file->addSeparator();
  KI1 = AddCommand(file, "KI1", "ｼｮｰﾄｶｯﾄﾌｫﾙﾀﾞを開く(&S)");
  Logging = AddCommand(file, "Logging", "ﾛｸﾞ(&L)");
  Logging->setCheckable(true);
  file->addSeparator();
  ExecQuokka = AddCommand(file, "ExecQuokka", "Quokkaを起動する(&E)");
  file->addSeparator();
  Exit1 = AddCommand(file, "Exit1", "終了(&X)");

  QMenu* access = menuBar()->addMenu("ｱｸｾｽﾘｽﾄ(&A)");
  Add2 = AddCommand(access, "Add2", "ｱｸｾｽﾘｽﾄへの追加(&A)", QKeySequence(Qt::CTRL | Qt::Key_A));
  Edit2 = AddCommand(access, "Edit2", "ｱｸｾｽﾘｽﾄの編集(&E)", QKeySequence(Qt::CTRL | Qt::Key_E));
  Delete2 =
      AddCommand(access, "Delete2", "ｱｸｾｽﾘｽﾄからの削除(&R)", QKeySequence(Qt::CTRL | Qt::Key_R));

  QMenu* other = menuBar()->addMenu("その他(&O)");
  A1 = AddCommand(other, "A1", "画面の設定(&T)", QKeySequence(Qt::ALT | Qt::Key_Return));
  KF1 = AddCommand(other, "KF1", "ﾌｧﾝｸｼｮﾝｷｰの設定(&F)");
  KS1 = AddCommand(other, "KS1", "ｻｳﾝﾄﾞの設定(&S)");
  KL1 = AddCommand(other, "KL1", "ﾌｫﾙﾀﾞの設定(&L)");
  ChangeTimeOut = AddCommand(other, "ChangeTimeOut", "再接続の設定(&R)");
  AddCompanionCommands(other);
  other->addSeparator();
  Help1 = AddCommand(other, "Help1", "ﾍﾙﾌﾟ(&H)");
  Version2 = AddCommand(other, "Version2", "ﾊﾞｰｼﾞｮﾝ情報(&V)");
}

void TWombatForm::BuildPopupMenu() {
  PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
  Copy1 = AddCommand(PopupMenu1, "Copy1", "コピー(&C)", QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 =
      AddCommand(PopupMenu1, "Paste1", "貼り付け[送信](&P)", QKeySequence(Qt::CTRL | Qt::Key_P));
  Paste2 = AddCommand(PopupMenu1, "Paste2", "貼り付け(&V)", QKeySequence(Qt::CTRL | Qt::Key_V));
  PopupMenu1->addSeparator();
  Jump1 = AddCommand(PopupMenu1, "Jump1", "URLへジャンプ");
  ShortCut1 = AddCommand(PopupMenu1, "ShortCut1", "ｼｮｰﾄｶｯﾄ");
  URLCopy1 = AddCommand(PopupMenu1, "URLCopy1", "URLをｺﾋﾟｰ");
  PopupMenu1->addSeparator();
  Clear1 = AddCommand(PopupMenu1, "Clear1", "クリア(&L)", QKeySequence(Qt::CTRL | Qt::Key_L));
  A2 = AddCommand(PopupMenu1, "A2", "設定(&A)");
  // The menu's shortcuts work while it is closed; the two scroll items exist
  // only for their keys and are not shown in it.
  addActions(PopupMenu1->actions());
  ScrollUp1 = Named(new QAction("ScrollUp", this), "ScrollUp1");
  ScrollUp1->setShortcut(Qt::Key_PageUp);
  ScrollDown1 = Named(new QAction("ScrollDown", this), "ScrollDown1");
  ScrollDown1->setShortcut(Qt::Key_PageDown);
  addActions({ScrollUp1, ScrollDown1});

  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(mapToGlobal(pos)); });
}

void TWombatForm::WireCommands() {
  Wire(Exit1, [this] { Exit1Click(); });
  Wire(Help1, [this] { Help1Click(); });
  Wire(Version2, [this] { Version2Click(); });
  Wire(Add2, [this] { Add2Click(); });
  Wire(Edit2, [this] { Edit2Click(); });
  Wire(Edit1, [this] { Edit2Click(); });
  Wire(Delete2, [this] { Delete2Click(); });
  Wire(KS1, [this] { KS1Click(); });
  Wire(KL1, [this] { KL1Click(); });
  Wire(Logging, [this] { LoggingClick(); });
  WireLinkCommands();
  WireConnectionCommands();
  WireInputCommands();
  WirePanelCommands();
  WireSiblingCommands();
  WireCompanionCommands();
  // A chosen entry gives the focus back to the input line, as the other
  // commands do.
  connect(APNameList, &QComboBox::activated, this, [this] {
    APNameListChange();
    InputEdit->setFocus();
  });
}

void TWombatForm::Wire(QAction* command, std::function<void()> handler) {
  FWiredCommands.insert(command);
  connect(command, &QAction::triggered, this, [handler] { handler(); });
}

void TWombatForm::Wire(QAbstractButton* command, std::function<void()> handler) {
  FWiredCommands.insert(command);
  connect(command, &QAbstractButton::clicked, this, [handler] { handler(); });
}

void TWombatForm::SetCommandEnabled(QAction* command, bool enabled) {
  command->setEnabled(enabled && FWiredCommands.contains(command));
}

void TWombatForm::SetCommandEnabled(QAbstractButton* command, bool enabled) {
  command->setEnabled(enabled && FWiredCommands.contains(command));
}

// The items of the main menu and of the popup menu, and the invisible items
// that exist for their shortcuts.
QList<QAction*> TWombatForm::MenuCommands() const {
  QList<QAction*> commands = actions();
  for (QAction* menu : menuBar()->actions()) commands += menu->menu()->actions();
  return commands;
}

// Every command without a handler is disabled, and so are the commands that
// the design disables at start.
void TWombatForm::DisableUnwiredCommands() {
  for (QAction* command : MenuCommands())
    if (!command->isSeparator()) SetCommandEnabled(command, true);
  for (QWidget* panel : {static_cast<QWidget*>(AccessPanel), static_cast<QWidget*>(FunctionPanel)})
    for (QAbstractButton* command : panel->findChildren<QAbstractButton*>())
      SetCommandEnabled(command, true);
  CancelButton->setEnabled(false);
  Disconnect1->setEnabled(false);
  Disconnect2->setEnabled(false);
}

void TWombatForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  FormShow();
}

void TWombatForm::closeEvent(QCloseEvent* event) {
  event->setAccepted(FormCloseQuery());
}

void TWombatForm::FormShow() {
  if (!FShown) {
    KeepFrameOnScreen();
    ServePendingConnect();
  }
  FShown = true;
}

// While connected the user is asked first; the window closes only when no
// connection is up afterwards.
bool TWombatForm::FormCloseQuery() {
  if (FSession->Active()) Disconnect1Click();
  return !FSession->Active();
}

void TWombatForm::FormDestroy() {
  try {
    SaveSettings();
  } catch (const ERegistryException& error) {
    PlatformUi().ShowMessage(QString::fromStdString(error.what()));
  }
  SaveFunctionKeys();
  CloseSiblingLink();
  FSession->LogMgr().Close();
}

void TWombatForm::Exit1Click() {
  close();
}

void TWombatForm::Help1Click() {
  if (!FHelpForm) {
    FHelpForm = new THelpForm(this);
    FHelpForm->setAttribute(Qt::WA_DeleteOnClose);
  }
  FHelpForm->show();
  FHelpForm->raise();
  FHelpForm->activateWindow();
}

void TWombatForm::Version2Click() {
  TVersionForm form(this);
  form.exec();
}
