#include "view/LinePainter.h"

#include <QPainter>
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

bool IsConferenceKind(int kind) { return kind == lkChat || kind == lkChatWithID; }

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
std::vector<TReplaceFont> ApplyReplacements(std::vector<TByteStyle>& bytes,
                                            const TLineText& line, const TLineStyle& style,
                                            QRgb color) {
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

TLinePainter::TLinePainter(const QFont& font)
    : FFont(font), FUnderlined(font), FMetrics(font) {
  FUnderlined.setUnderline(true);
}

QFont TLinePainter::ReplacementFont(const std::string& name) const {
  QFont font = FFont;
  font.setFamily(ToQString(name));
  return font;
}

QString TLinePainter::ReplacementText(int32_t code) {
  const auto high = static_cast<char>((code >> 8) & 0xFF);
  const auto low = static_cast<char>(code & 0xFF);
  return high == 0 ? ToQString(std::string(1, low)) : ToQString(std::string{high, low});
}

int TLinePainter::Width(std::string_view text, size_t bytes) const {
  if (bytes == 0) return 0;
  return FMetrics.horizontalAdvance(ToQString(text.substr(0, bytes)));
}

void TLinePainter::Draw(QPainter& painter, int top, int lineHeight, int textHeight, int width,
                        const TLineText& line, const std::vector<TStyleRun>& runs,
                        QRgb background, std::optional<std::pair<size_t, size_t>> selection) const {
  painter.fillRect(0, top, width, lineHeight, QColor(background));
  const int baseline = top + FMetrics.ascent();
  for (const TStyleRun& run : runs) {
    const int left = Width(line.Own, run.Begin);
    const QString text = ToQString(line.Own.substr(run.Begin, run.End - run.Begin));
    if (run.Back)
      painter.fillRect(left, top, Width(line.Own, run.End) - left, textHeight, QColor(*run.Back));
    painter.setPen(QColor(run.Fore));
    if (run.ReplaceCode >= 1) {
      painter.setFont(ReplacementFont(run.FontName));
      painter.drawText(left, baseline, ReplacementText(run.ReplaceCode));
    } else {
      painter.setFont(run.Underline ? FUnderlined : FFont);
      painter.drawText(left, baseline, text);
    }
  }
  if (selection) {
    const size_t last = std::min(selection->second, line.Own.size());
    const int left = Width(line.Own, selection->first);
    const int right = Width(line.Own, last);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(left, top, right - left, lineHeight, Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
}
