#include "view/Fonts.h"

#include <QStringList>

namespace {
const QString FixedPitchName = QStringLiteral("ＭＳ ゴシック");
const QString ProportionalName = QStringLiteral("ＭＳ Ｐゴシック");
}  // namespace

void RegisterFontSubstitutions() {
  QFont::insertSubstitutions(FixedPitchName, {"IPAGothic", "VL Gothic", "Noto Sans Mono CJK JP"});
  QFont::insertSubstitutions(ProportionalName, {"IPAPGothic", "VL PGothic", "Noto Sans CJK JP"});
}

QFont DefaultTerminalFont() {
  QFont font(FixedPitchName);
  font.setPixelSize(12);
  return font;
}
