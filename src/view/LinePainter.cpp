#include "view/LinePainter.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>

#include "text/Codec.h"
#include "text/QtCodec.h"
#include "view/Emphasis.h"
#include "view/Links.h"

namespace {

// Per-byte style of the own text while the layers are applied.
struct TByteStyle {
  QRgb Fore;
  std::optional<QRgb> Back;
  bool Underline = false;
  int Replacement = -1;  // index of the replacement of the character, or -1

  bool operator==(const TByteStyle&) const = default;
};

bool IsConferenceKind(int kind) {
  return kind == lkChat || kind == lkChatWithID;
}

// The line's colour and class.
std::pair<QRgb, int> ClassColor(const TLineText& line, const TLineStyle& style,
                                TAnalysis& analysis) {
  if (style.IgnoreEffect) return {line.BaseColor, line.HeadLine && !style.NormalMode ? lkChat : 0};
  const int kind = analysis.Analyze(line.Own);
  switch (kind) {
    case lkUserListRow:
    case lkUserListHeader:
      return {style.UserColor, kind};
    case lkPage:
      return {style.PageColor, kind};
    case lkChat:
    case lkChatWithID:
      return {style.ConvColor, kind};
    default:
      return {line.BaseColor, kind};
  }
}

void ApplyHandle(std::vector<TByteStyle>& bytes, const TLineText& line, const TLineStyle& style,
                 QRgb color, int kind) {
  if (style.NormalMode || !line.HeadLine || color == style.HandleColor || !IsConferenceKind(kind))
    return;
  const size_t paren = line.Own.find(')');
  if (paren == std::string_view::npos) return;
  for (size_t i = 0; i <= paren; ++i) bytes[i].Fore = style.HandleColor;
}

// Links are searched in the own text joined with the neighbouring parts of a
// folded line, so that a link across a fold is marked on both lines.
void ApplyLinks(std::vector<TByteStyle>& bytes, const TLineText& line, const TLineStyle& style) {
  if ((style.FontColor == style.AddressColor && style.FontColor == style.MailAddressColor) ||
      line.Own.empty())
    return;
  std::string joined;
  joined.reserve(line.Before.size() + line.Own.size() + line.After.size());
  joined.append(line.Before).append(line.Own).append(line.After);
  const size_t first = line.Before.size();
  const size_t last = first + line.Own.size();
  for (const TLinkSpan& link : ScanLinks(joined)) {
    const size_t begin = std::max(link.Begin, first);
    const size_t end = std::min(link.End, last);
    const QRgb color = link.Kind == lkUrl ? style.AddressColor : style.MailAddressColor;
    for (size_t i = begin; i < end; ++i) bytes[i - first] = {color, std::nullopt, true};
  }
}

void ApplyAccents(std::vector<TByteStyle>& bytes, const TLineText& line, const TLineStyle& style) {
  if (style.IgnoreAccent || !style.AccentWords || style.AccentWords->empty()) return;
  for (const TByteSpan& span : FindAccentSpans(line.Own, *style.AccentWords))
    for (size_t i = span.Begin; i < span.End && i < bytes.size(); ++i)
      bytes[i] = {style.AccentColor, style.AccentBackColor, false};
}

// Double-byte characters that the replacement list draws in another glyph.
std::vector<TReplaceFont> ApplyReplacements(std::vector<TByteStyle>& bytes, const TLineText& line,
                                            const TLineStyle& style, QRgb color) {
  std::vector<TReplaceFont> replacements;
  if (!style.ReplaceFonts || style.ReplaceFonts->Count() == 0) return replacements;
  const std::string_view own = line.Own;
  for (size_t i = 0; i + 1 < own.size(); ++i) {
    const auto lead = static_cast<unsigned char>(own[i]);
    if (!IsLeadByte(lead)) continue;
    const TReplaceFont& found =
        style.ReplaceFonts->Find(lead * 256 + static_cast<unsigned char>(own[i + 1]));
    if (found.ReplaceCode >= 1) {
      const int index = static_cast<int>(replacements.size());
      replacements.push_back(found);
      bytes[i] = bytes[i + 1] = {color, style.Background, false, index};
    }
    ++i;
  }
  return replacements;
}

}  // namespace

std::vector<TStyleRun> StyleRuns(const TLineText& line, const TLineStyle& style,
                                 TAnalysis& analysis) {
  const auto [color, kind] = ClassColor(line, style, analysis);
  std::vector<TByteStyle> bytes(line.Own.size(), TByteStyle{color, std::nullopt, false});
  ApplyHandle(bytes, line, style, color, kind);
  ApplyLinks(bytes, line, style);
  ApplyAccents(bytes, line, style);
  const std::vector<TReplaceFont> replacements = ApplyReplacements(bytes, line, style, color);

  std::vector<TStyleRun> runs;
  for (size_t begin = 0; begin < bytes.size();) {
    const TByteStyle& first = bytes[begin];
    size_t end = begin + 1;
    while (end < bytes.size() && bytes[end] == first) ++end;
    TStyleRun run{begin, end, first.Fore, first.Back, first.Underline, 0, {}};
    if (first.Replacement >= 0) {
      const TReplaceFont& replacement = replacements[static_cast<size_t>(first.Replacement)];
      run.ReplaceCode = replacement.ReplaceCode;
      run.FontName = replacement.FontName;
    }
    runs.push_back(std::move(run));
    begin = end;
  }
  return runs;
}

namespace {

bool IsControl(char16_t c) {
  return c < 0x20 || c == 0x7F;
}

// The own text decoded for drawing, with the character index of every byte
// offset where a run or the selection begins or ends. Control characters
// show as blanks of one cell; a tab is not expanded.
class TDecodedLine {
 public:
  TDecodedLine(std::string_view own, std::vector<size_t> cuts) : FCuts(std::move(cuts)) {
    FCuts.push_back(0);
    FCuts.push_back(own.size());
    std::sort(FCuts.begin(), FCuts.end());
    FCuts.erase(std::unique(FCuts.begin(), FCuts.end()), FCuts.end());
    for (size_t k = 0; k < FCuts.size(); ++k) {
      FIndex.push_back(static_cast<int>(FText.size()));
      if (k + 1 < FCuts.size()) FText += ToQString(own.substr(FCuts[k], FCuts[k + 1] - FCuts[k]));
    }
    for (QChar& c : FText)
      if (IsControl(c.unicode())) c = QLatin1Char(' ');
  }
  const QString& Text() const { return FText; }
  // The character index of byte offset `cut`, one of the cuts.
  int Index(size_t cut) const {
    const auto at = std::lower_bound(FCuts.begin(), FCuts.end(), cut) - FCuts.begin();
    return FIndex[static_cast<size_t>(at)];
  }

 private:
  std::vector<size_t> FCuts;
  std::vector<int> FIndex;
  QString FText;
};

QTextLayout::FormatRange Format(int start, int end, const QColor& color, bool underline) {
  QTextLayout::FormatRange range;
  range.start = start;
  range.length = end - start;
  range.format.setForeground(color);
  range.format.setFontUnderline(underline);
  return range;
}

}  // namespace

TLinePainter::TLinePainter(const QFont& font)
    : FFont(font),
      FMetrics(font),
      FRawFont(QRawFont::fromFont(font)),
      FGlyphs(std::make_shared<std::vector<TGlyph>>(0x10000)) {}

const TLinePainter::TGlyph& TLinePainter::Glyph(char16_t c) const {
  TGlyph& glyph = (*FGlyphs)[c];
  if (glyph.Advance < 0) {
    const QChar character(c);
    int count = 1;
    quint32 index = 0;
    if (FRawFont.isValid() && FRawFont.glyphIndexesForChars(&character, 1, &index, &count)) {
      QPointF advance;
      FRawFont.advancesForGlyphIndexes(&index, &advance, 1);
      glyph = {index, static_cast<float>(advance.x())};
    } else {
      glyph = {0, 0};
    }
  }
  return glyph;
}

bool TLinePainter::Place(const QString& text, QList<quint32>& glyphs, std::vector<qreal>& x) const {
  glyphs.resize(text.size());
  x.assign(static_cast<size_t>(text.size()) + 1, 0);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (QChar::isSurrogate(c)) return false;
    const TGlyph& glyph = Glyph(c);
    if (glyph.Index == 0) return false;
    glyphs[i] = glyph.Index;
    x[static_cast<size_t>(i) + 1] = x[static_cast<size_t>(i)] + glyph.Advance;
  }
  return true;
}

QFont TLinePainter::ReplacementFont(const std::string& name) const {
  QFont font = FFont;
  font.setFamily(ToQString(name));
  return font;
}

QString ReplacementText(int32_t code, const QRawFont& font) {
  const auto high = static_cast<char>((code >> 8) & 0xFF);
  const auto low = static_cast<unsigned char>(code & 0xFF);
  if (high != 0) return ToQString(std::string{high, static_cast<char>(low)});
  // Symbol fonts put their byte codes in the private range U+F000 + byte.
  const QChar symbol(0xF000 + low);
  if (low >= 0x80 && font.isValid() && font.supportsCharacter(symbol)) return symbol;
  return QChar(low);
}

int TLinePainter::Width(std::string_view text, size_t bytes) const {
  if (bytes == 0) return 0;
  const TDecodedLine decoded(text.substr(0, bytes), {});
  QList<quint32> glyphs;
  std::vector<qreal> x;
  if (Place(decoded.Text(), glyphs, x)) return qRound(x.back());
  return FMetrics.horizontalAdvance(decoded.Text());
}

void TLinePainter::Draw(QPainter& painter, int top, int lineHeight, int textHeight, int width,
                        const TLineText& line, const std::vector<TStyleRun>& runs, QRgb background,
                        std::optional<TByteRange> selection) const {
  painter.fillRect(0, top, width, lineHeight, QColor(background));
  std::vector<size_t> cuts;
  for (const TStyleRun& run : runs) cuts.push_back(run.Begin);
  if (selection) {
    selection->Last = std::min(selection->Last, line.Own.size());
    cuts.push_back(selection->First);
    cuts.push_back(selection->Last);
  }
  const TDecodedLine decoded(line.Own, std::move(cuts));
  // A replaced character keeps its place but is drawn in its replacement.
  auto color = [](const TStyleRun& run) {
    return run.ReplaceCode >= 1 ? QColor(Qt::transparent) : QColor(run.Fore);
  };

  // Characters that the font has are placed by their advances and drawn as
  // glyph runs; a line with any other character is laid out with font
  // fallback.
  QList<quint32> glyphs;
  std::vector<qreal> positions;
  const bool ownFont = Place(decoded.Text(), glyphs, positions);
  std::optional<QTextLayout> layout;
  if (!ownFont) {
    layout.emplace(decoded.Text(), FFont);
    QList<QTextLayout::FormatRange> formats;
    for (const TStyleRun& run : runs)
      formats.append(
          Format(decoded.Index(run.Begin), decoded.Index(run.End), color(run), run.Underline));
    layout->setFormats(formats);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(option);
    layout->beginLayout();
    QTextLine textLine = layout->createLine();
    textLine.setPosition(QPointF(0, 0));
    layout->endLayout();
    for (qsizetype i = 0; i <= decoded.Text().size(); ++i)
      positions[static_cast<size_t>(i)] = textLine.cursorToX(static_cast<int>(i));
  }
  auto x = [&](size_t cut) { return qRound(positions[static_cast<size_t>(decoded.Index(cut))]); };

  for (const TStyleRun& run : runs)
    if (run.Back)
      painter.fillRect(x(run.Begin), top, x(run.End) - x(run.Begin), textHeight, QColor(*run.Back));
  const int baseline = top + FMetrics.ascent();
  if (layout) {
    layout->draw(&painter, QPointF(0, top));
  } else {
    for (const TStyleRun& run : runs) {
      if (run.ReplaceCode >= 1) continue;
      const qsizetype first = decoded.Index(run.Begin);
      const qsizetype last = decoded.Index(run.End);
      QList<QPointF> places;
      for (qsizetype i = first; i < last; ++i)
        places.append(QPointF(positions[static_cast<size_t>(i)], 0));
      QGlyphRun glyphRun;
      glyphRun.setRawFont(FRawFont);
      glyphRun.setGlyphIndexes(glyphs.mid(first, last - first));
      glyphRun.setPositions(places);
      painter.setPen(QColor(run.Fore));
      painter.drawGlyphRun(QPointF(0, baseline), glyphRun);
      if (run.Underline)
        painter.fillRect(x(run.Begin), baseline + FMetrics.underlinePos(),
                         x(run.End) - x(run.Begin), FMetrics.lineWidth(), QColor(run.Fore));
    }
  }
  for (const TStyleRun& run : runs) {
    if (run.ReplaceCode < 1) continue;
    const QFont font = ReplacementFont(run.FontName);
    painter.setFont(font);
    painter.setPen(QColor(run.Fore));
    painter.drawText(x(run.Begin), baseline,
                     ReplacementText(run.ReplaceCode, QRawFont::fromFont(font)));
  }
  if (selection) {
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(x(selection->First), top, x(selection->Last) - x(selection->First),
                     lineHeight, Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
}
