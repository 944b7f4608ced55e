// Text for the host goes in code page 932; a character it cannot carry is
// sent as "?" only when the user agrees.
#include <QStringList>

#include "session/WombatForm.h"
#include "text/Codec.h"
#include "view/PlatformUi.h"

bool TWombatForm::ConfirmSendable(const QString& text) {
  const std::vector<std::string> unmappable = UnmappableCharacters(text.toStdString());
  if (unmappable.empty()) return true;
  QString characters;
  for (const std::string& character : unmappable) characters += QString::fromStdString(character);
  return PlatformUi().ConfirmDefaultNo("送信できない文字があります：" + characters +
                                       "。「?」に置き換えて送信しますか？");
}
