// Saves a picture of a terminal view with the kinds of lines the host sends:
// conference lines with handles, a participant list, a page notice, a URL
// and a mail address, and an emphasised word. Runs on the offscreen platform;
// the picture is ViewShot.png beside the program (in the build folder).
#include <QApplication>
#include <QDir>
#include <cstdio>

#include "text/Codec.h"
#include "view/Fonts.h"
#include "view/QuokkaView.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterFontSubstitutions();

  // Set up as the main window's terminal view.
  TQuokkaView view;
  view.setFont(DefaultTerminalFont());
  view.SetScrollBar(ssVertical);
  view.SetEightyColumns(true);
  view.SetVSpace(1);
  view.SetNormalMode(false);
  view.SetAddressColor(Qt::blue);
  view.SetMailAddressColor(Qt::darkGreen);
  view.SetPageColor(Qt::darkMagenta);
  view.SetUserColor(Qt::darkGreen);
  view.SetHandleColor(Qt::red);
  view.SetAccentColor(Qt::black);
  view.SetAccentBackColor(Qt::yellow);
  view.AccentWords().Add(Sjis("会議"));
  view.resize(640, 400);
  view.show();

  view.AddLines({
      Sjis("－リアルタイム会議開始 (終了:/E)－"),
      Sjis("(3,たろう) こんばんは、今夜の会議を始めます"),
      Sjis("(3,ABC12345,はなこ) 議事録は http://www.example.co.jp/minutes/today.html です"),
      Sjis("(3,ゆうき) 了解。質問は yuki@example.ne.jp までどうぞ"),
      "",
      Sjis(" JOB   CH  ID       HANDLE"),
      Sjis("  12 TALK  ABC12345 はなこ"),
      Sjis("  15 3     DEF54321 たろう"),
      Sjis("  21 3     GHI11111 ゆうき"),
      "",
      Sjis("  DEF54321  のユーザーからのメッセージです－会議のあとで話せますか？"),
      Sjis("(3,たろう) 長い行は八十桁で折り返されます。リンクが折り返しをまたいでも "
           "http://www.example.co.jp/a/long/path/index.html のように両方の行に下線が付きます"),
  });
  view.ShowPartialLine(Sjis("(3,はなこ) 入力中…"));
  QApplication::processEvents();

  const QString path = QDir(QCoreApplication::applicationDirPath()).filePath("ViewShot.png");
  if (!view.grab().save(path)) {
    std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    return 1;
  }
  std::printf("saved %s\n", qPrintable(path));
  return 0;
}
