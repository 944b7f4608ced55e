#pragma once
// Drawing of one stored line of a view: the colour of its class, the handle
// of a conference line, links and mail addresses (also across folds),
// emphasised words and the inverted selection.

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRawFont>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/Analysis.h"
#include "text/ReplaceFont.h"
#include "view/TextPoint.h"

class QPainter;

// The view's settings that decide how lines look.
struct TLineStyle {
  QRgb Background = 0xFFFFFFFF;
  QRgb FontColor = 0xFF000000;
  QRgb UserColor = 0xFF000000;
  QRgb PageColor = 0xFF000000;
  QRgb ConvColor = 0xFF000000;
  QRgb HandleColor = 0xFF000000;
  QRgb AddressColor = 0xFF000000;
  QRgb MailAddressColor = 0xFF000000;
  QRgb AccentColor = 0xFF000000;
  QRgb AccentBackColor = 0xFFFFFFFF;
  bool IgnoreEffect = false;
  bool NormalMode = true;
  bool IgnoreAccent = false;
  // Emphasised words, normalised.
  const std::vector<std::string>* AccentWords = nullptr;
  // Glyph replacements; none when empty.
  TReplaceFontList* ReplaceFonts = nullptr;
};

// One stored line with what drawing it needs of its neighbours.
struct TLineText {
  std::string_view Own;     // the stored line without the fold mark
  std::string_view Before;  // the previous line's own text when this line continues it
  std::string_view After;   // the whole next stored line when this line continues on it
  bool HeadLine = false;    // at least 4 bytes and not a continuation
  QRgb BaseColor = 0xFF000000;
};

// A stretch of the own text drawn in one style: bytes [Begin, End).
struct TStyleRun {
  size_t Begin;
  size_t End;
  QRgb Fore;
  std::optional<QRgb> Back;  // filled behind the text (emphasis, replaced glyphs)
  bool Underline = false;    // links and mail addresses
  int32_t ReplaceCode = 0;   // a double-byte character drawn as this code instead
  std::string FontName;      // the font face of the replacement (CP932)
};

// The runs that cover the own text, left to right; a replaced character is a
// run of its own. `analysis` classifies the line unless effects are ignored.
std::vector<TStyleRun> StyleRuns(const TLineText& line, const TLineStyle& style,
                                 TAnalysis& analysis);

// The character that a replacement code draws in `font`: two bytes (high
// byte first) are a CP932 character; a single byte is the font's own byte
// (Latin-1, or the private range of a symbol font), never a CP932 one.
QString ReplacementText(int32_t code, const QRawFont& font);

// Draws lines into a band of the back buffer with the view's font.
class TLinePainter {
 public:
  explicit TLinePainter(const QFont& font);

  // Fills the band [top, top + lineHeight) with the background, draws the
  // runs, then inverts the selected bytes [first, last) of the own text
  // (`last` beyond the text means to its end) over the whole band.
  void Draw(QPainter& painter, int top, int lineHeight, int textHeight, int width,
            const TLineText& line, const std::vector<TStyleRun>& runs, QRgb background,
            std::optional<TByteRange> selection) const;

  // Width in pixels of the first `bytes` bytes of `text`, measured on the
  // decoded characters.
  int Width(std::string_view text, size_t bytes) const;

 private:
  // A character's glyph in the font itself (index 0: none) and its advance.
  struct TGlyph {
    quint32 Index = 0;
    float Advance = -1;  // below 0: not looked up yet
  };
  const TGlyph& Glyph(char16_t c) const;
  // The glyphs of `text` and where each character starts (x[size]: the
  // end); false when a character has no glyph in the font itself.
  bool Place(const QString& text, QList<quint32>& glyphs, std::vector<qreal>& x) const;
  QFont ReplacementFont(const std::string& name) const;

  QFont FFont;
  QFontMetrics FMetrics;
  QRawFont FRawFont;
  // Glyphs by UTF-16 code unit, looked up when first drawn.
  std::shared_ptr<std::vector<TGlyph>> FGlyphs;
};
