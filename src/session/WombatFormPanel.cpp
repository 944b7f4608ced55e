// The view settings panel: opening and closing it with the window's height
// rule, and what its changes mean outside the views (the input line's font,
// the input line emptied after a word was added).
#include <QAction>
#include <QComboBox>
#include <QLayout>
#include <QPushButton>
#include <utility>

#include "session/ConfigPanel.h"
#include "session/WombatForm.h"
#include "view/QuokkaView.h"

namespace {

// The window is made at least this high while the panel is open, so that
// all of the panel's controls show.
constexpr int kPanelWindowHeight = 551;
constexpr int kConfigPanelWidth = 106;

}  // namespace

TConfigPanel* TWombatForm::BuildConfigPanel(QWidget* parent) {
  auto* panel = new TConfigPanel(*TerminalView, *LogView, parent);
  panel->setObjectName("ConfigPanel");
  panel->setFixedWidth(kConfigPanelWidth);
  panel->hide();
  panel->InputFont = [this] { return InputEdit->font(); };
  panel->OnViewFontChange = [this] { WidenForEightyColumns(); };
  panel->OnInputFontChange = [this](const QFont& font) { SetInputFont(font); };
  panel->OnAccentAdd = [this] {
    FHistory.Clear();
    ShowHistory();
  };
  return panel;
}

void TWombatForm::WirePanelCommands() {
  Wire(A1, [this] { A1Click(); });
  Wire(A2, [this] { A1Click(); });
  Wire(ConfigPanel->CloseButton(), [this] { Button15Click(); });
}

// Opening keeps the window's height and makes a low window tall enough for
// the panel; closing by the same command returns to the kept height. Opening
// also widens the window by the panel's width where the screen allows, so
// that the view keeps its columns; closing gives that width back. The views
// are resized as the program's own doing, which never opens the history view.
void TWombatForm::A1Click() {
  const bool wasUpdating = FUpdatingViews;
  FUpdatingViews = true;
  if (!ConfigPanel->isHidden()) {
    // First hidden: the open panel holds the window at its own height.
    HidePanel();
    if (FTermHeight < kPanelWindowHeight) resize(width(), FTermHeight);
  } else {
    FTermHeight = height();
    if (height() < kPanelWindowHeight) resize(width(), kPanelWindowHeight);
    ConfigPanel->ShowViewSettings();
    FPanelWidening = WidenWithinScreen(kConfigPanelWidth);
    ConfigPanel->show();
  }
  // The views take their new sizes now, while the flag is set.
  TerminalPanel->layout()->activate();
  FUpdatingViews = wasUpdating;
}

// Closing with the panel's own button leaves the window's height alone.
void TWombatForm::Button15Click() {
  HidePanel();
  InputEdit->setFocus();
}

// The views are resized as the program's own doing here too. The layouts
// take the hidden panel into account at once, so that the window may become
// as small again as it was.
void TWombatForm::HidePanel() {
  const bool wasUpdating = std::exchange(FUpdatingViews, true);
  ConfigPanel->hide();
  for (QWidget* widget = ConfigPanel->parentWidget(); widget; widget = widget->parentWidget()) {
    if (QLayout* layout = widget->layout()) {
      layout->invalidate();
      layout->activate();
    }
  }
  resize(width() - std::exchange(FPanelWidening, 0), height());
  TerminalPanel->layout()->activate();
  FUpdatingViews = wasUpdating;
}

// The input panel keeps the input line's height + 2.
void TWombatForm::SetInputFont(const QFont& font) {
  InputEdit->setFont(font);
  InputPanel->setFixedHeight(InputEdit->sizeHint().height() + 2);
}
