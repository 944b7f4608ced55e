// A telnet link in a view connects this window to its host, as an address
// from outside does (through "Temp", nothing stored spent), instead of
// handing it to the desktop, which would start a second program on the
// same settings and files. A connection that is up is ended first when the
// user agrees.
#include <QStringList>

#include "session/WombatForm.h"
#include "view/PlatformUi.h"

bool TWombatForm::OpenTelnetLink(const QString& url) {
  if (!url.startsWith(QStringLiteral("telnet://"), Qt::CaseInsensitive)) return false;
  if (FSession->Active()) {
    if (!PlatformUi().Confirm("回線を切断してよろしいですか？")) return true;
    FSession->Disconnect();
  }
  if (const std::optional<TStartupAddress> address = StartupAddress({url}))
    ConnectToAddress(*address);
  return true;
}
