// The login script of a connection: built from the entry when a connection
// starts, its first step sent once the connection is up, one pair answered
// per received block that holds its prompt, and stopped by the Cancel button.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "session/WombatForm.h"

void TWombatForm::WireScript() {
  FScript.Send = [this](const std::string& text) { SendToHost(text); };
  // The engine asks for one second per "*"; the window's setting decides.
  FScript.Pause = [this](int) { StartPause(Pauses.PerStar, [this] { FScript.ContinueStep(); }); };
  Wire(CancelButton, [this] { CancelButtonClick(); });
}

// The pairs of the current entry's script; Cancel is offered while a pair waits.
void TWombatForm::StartScript() {
  FScript.Start(FCurrentEntry.Script, FCurrentEntry.ID, FCurrentEntry.Password);
  SetCommandEnabled(CancelButton, FScript.HasPairs());
}

// Answers the first pair when its prompt is in this block. The script ends
// when no pair is left.
void TWombatForm::CheckPrompt(const std::string& block) {
  if (ModemDialling()) return;
  if (FScript.CheckBlock(block) != TPromptResult::Ended) return;
  CancelButton->setEnabled(false);
  StatusPanel->clear();
}

void TWombatForm::CancelButtonClick() {
  FScript.Cancel();
  CancelButton->setEnabled(false);
  InputEdit->setFocus();
}
