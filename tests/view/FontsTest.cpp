// The design font names resolve to the installed Japanese fonts.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "view/Fonts.h"

TEST(Fonts, DesignNamesResolveToIpaFonts) {
  RegisterFontSubstitutions();
  EXPECT_EQ(QFontInfo(DefaultTerminalFont()).family(), "IPAGothic");
  EXPECT_EQ(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"))).family(), "IPAPGothic");
}

TEST(Fonts, DoubleByteCharacterIsTwoCellsWide) {
  RegisterFontSubstitutions();
  const QFontMetrics metrics(DefaultTerminalFont());
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("あ")), 2 * metrics.horizontalAdvance('A'));
}
