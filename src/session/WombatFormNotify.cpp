// Desktop notifications for the lines the user wants to know of while the
// window is behind another: page notices, emphasised words and the user's
// own ID. A click on one raises the window.
#include <QApplication>

#include "session/DesktopNotifier.h"
#include "session/WombatForm.h"
#include "text/Analysis.h"
#include "text/QtCodec.h"
#include "view/QuokkaView.h"

void TWombatForm::CreateNotifier() {
  FNotifier = new TDesktopNotifier(this);
  FNotifier->OnClicked = [this] {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
  };
}

void TWombatForm::NotifyLines(const std::vector<std::string>& lines) {
  if (!FNotifier->Enabled() || isActiveWindow()) return;
  std::vector<std::string> words = TerminalView->AccentWords().Strings();
  if (!FCurrentEntry.ID.empty()) words.push_back(NormalizeText(FCurrentEntry.ID));
  for (const std::string& line : lines) {
    if (!LineWantsAttention(line, words)) continue;
    FNotifier->Notify(FSession->EntryName(), ToQString(line));
    QApplication::alert(this);
  }
}
