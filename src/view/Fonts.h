#pragma once
// The design font names of the views and panels ("ＭＳ ゴシック", "ＭＳ Ｐゴシック")
// are kept as stored defaults; these substitutions give them the installed
// Japanese fonts.

#include <QFont>

// Registers the substitutions: the fixed-pitch name to IPAGothic, VL Gothic,
// Noto Sans Mono CJK JP; the proportional name to IPAPGothic, VL PGothic,
// Noto Sans CJK JP. Call once after the application object exists.
void RegisterFontSubstitutions();

// The views' design font: "ＭＳ ゴシック", 12 pixels high.
QFont DefaultTerminalFont();
