#include "text/Analysis.h"

#include <array>
#include <optional>

#include "text/Codec.h"

namespace {

using uchar = unsigned char;

// ---------------------------------------------------------------------------
// Normalisation tables

struct TNormalTables {
  // ASCII replacements of the full-width characters led by 0x81 and 0x82
  // (0 = none), indexed by the second byte.
  std::array<std::array<char, 256>, 2> Wide{};
  // Full-width codes of the half-width kana 0xA1-0xDD: plain, with the
  // voiced mark and with the semi-voiced mark (0 = no such form).
  std::array<uint16_t, 256> Kana{};
  std::array<uint16_t, 256> Voiced{};
  std::array<uint16_t, 256> SemiVoiced{};
};

// Fills Table from pairs of a half-width kana and its full-width form.
void FillKana(std::array<uint16_t, 256>& table, std::string_view utf8Pairs) {
  const std::string pairs = Sjis(utf8Pairs);
  for (size_t i = 0; i + 2 < pairs.size(); i += 3) {
    table[uchar(pairs[i])] = uint16_t(uchar(pairs[i + 1]) << 8 | uchar(pairs[i + 2]));
  }
}

TNormalTables BuildNormalTables() {
  TNormalTables t;
  struct TWide {
    uint16_t Code;
    char Ascii;
  };
  static constexpr TWide kWide[] = {
      {0x8140, ' '},  {0x8143, ','}, {0x8144, '.'},  {0x8146, ':'}, {0x8147, ';'},  {0x8148, '?'},
      {0x8149, '!'},  {0x814F, '^'}, {0x815E, '/'},  {0x8160, '~'}, {0x8162, '|'},  {0x8165, '\''},
      {0x8166, '\''}, {0x8167, '"'}, {0x8168, '"'},  {0x8169, '('}, {0x816A, ')'},  {0x816D, '['},
      {0x816E, ']'},  {0x816F, '{'}, {0x8170, '}'},  {0x817B, '+'}, {0x817C, '-'},  {0x8181, '='},
      {0x8183, '<'},  {0x8184, '>'}, {0x818C, '\''}, {0x818D, '"'}, {0x818F, '\\'}, {0x8190, '$'},
      {0x8193, '%'},  {0x8194, '#'}, {0x8195, '&'},  {0x8196, '*'}, {0x8197, '@'},  {0x81AC, '='},
  };
  for (const TWide& w : kWide) t.Wide[0][w.Code & 0xFF] = w.Ascii;
  for (int i = 0; i < 10; ++i) t.Wide[1][0x4F + i] = char('0' + i);
  for (int i = 0; i < 26; ++i) {
    t.Wide[1][0x60 + i] = char('A' + i);
    t.Wide[1][0x81 + i] = char('A' + i);
  }
  FillKana(t.Kana,
           "｡。｢「｣」､、･・ｦヲｧァｨィｩゥｪェｫォｬャｭュｮョｯッｰーｱアｲイｳウｴエｵオ"
           "ｶカｷキｸクｹケｺコｻサｼシｽスｾセｿソﾀタﾁチﾂツﾃテﾄトﾅナﾆニﾇヌﾈネﾉノ"
           "ﾊハﾋヒﾌフﾍヘﾎホﾏマﾐミﾑムﾒメﾓモﾔヤﾕユﾖヨﾗラﾘリﾙルﾚレﾛロﾜワﾝン");
  FillKana(t.Voiced, "ｳヴｶガｷギｸグｹゲｺゴｻザｼジｽズｾゼｿゾﾀダﾁヂﾂヅﾃデﾄドﾊバﾋビﾌブﾍベﾎボ");
  FillKana(t.SemiVoiced, "ﾊパﾋピﾌプﾍペﾎポ");
  return t;
}

const TNormalTables& NormalTables() {
  static const TNormalTables tables = BuildNormalTables();
  return tables;
}

constexpr uchar kVoicedMark = 0xDE;
constexpr uchar kSemiVoicedMark = 0xDF;

// Writes the normalised form of S to Out, which has room for twice the
// length of S. When Map is given, it receives the 1-based source position of
// every byte written and one final entry past the last character consumed
// (room for twice the length of S plus one). Returns the bytes written.
size_t NormalizeInto(std::string_view S, char* Out, uint32_t* Map) {
  const TNormalTables& t = NormalTables();
  const auto* s = reinterpret_cast<const uchar*>(S.data());
  const size_t n = S.size();
  char* o = Out;
  size_t i = 0;
  auto emit = [&](uchar c, size_t from) {
    if (Map) Map[o - Out] = uint32_t(from + 1);
    *o++ = char(c);
  };
  while (i < n) {
    const size_t from = i;
    const uchar c = s[i];
    if (IsLeadByte(c)) {
      if (i + 1 == n) {
        emit(c, from);
        ++i;
        continue;
      }
      const uchar trail = s[i + 1];
      const char ascii = c == 0x81 ? t.Wide[0][trail] : c == 0x82 ? t.Wide[1][trail] : 0;
      if (ascii) {
        emit(uchar(ascii), from);
      } else {
        emit(c, from);
        emit(trail, from);
      }
      i += 2;
    } else if (c >= 'a' && c <= 'z') {
      emit(uchar(c - 'a' + 'A'), from);
      ++i;
    } else if (c >= 0xA1 && c <= 0xDD) {
      uint16_t code = t.Kana[c];
      ++i;
      if (i < n && (s[i] == kVoicedMark || s[i] == kSemiVoicedMark)) {
        const uint16_t marked = s[i] == kVoicedMark ? t.Voiced[c] : t.SemiVoiced[c];
        if (marked) code = marked;
        ++i;
      }
      emit(uchar(code >> 8), from);
      emit(uchar(code & 0xFF), from);
    } else {
      emit(c, from);
      ++i;
    }
  }
  if (Map) Map[o - Out] = uint32_t(i + 1);
  return size_t(o - Out);
}

// Normalises short texts on the stack, longer ones on the heap.
class TNormalized {
 public:
  explicit TNormalized(std::string_view S) {
    char* out = FStack.data();
    if (S.size() * 2 > FStack.size()) {
      FHeap.resize(S.size() * 2);
      out = FHeap.data();
    }
    FText = std::string_view(out, NormalizeInto(S, out, nullptr));
  }
  std::string_view Text() const { return FText; }

 private:
  std::array<char, 128> FStack;
  std::string FHeap;
  std::string_view FText;
};

// ---------------------------------------------------------------------------
// Small text helpers

// S without bytes of 0x20 and below at either end.
std::string_view TrimControl(std::string_view S) {
  size_t b = 0;
  size_t e = S.size();
  while (b < e && uchar(S[b]) <= 0x20) ++b;
  while (e > b && uchar(S[e - 1]) <= 0x20) --e;
  return S.substr(b, e - b);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
char UpCase(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  c = UpCase(c);
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The value of S as a whole 32-bit integer: an optional sign, then decimal
// digits or "$" and hexadecimal digits. Nothing else may follow.
std::optional<int32_t> ReadInteger(std::string_view S) {
  size_t i = 0;
  const bool negative = !S.empty() && S[0] == '-';
  if (!S.empty() && (S[0] == '-' || S[0] == '+')) ++i;
  int base = 10;
  if (i < S.size() && S[i] == '$') {
    base = 16;
    ++i;
  }
  if (i == S.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < S.size(); ++i) {
    const int digit = base == 16 ? HexValue(S[i]) : IsDigit(S[i]) ? S[i] - '0' : -1;
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return int32_t(value);
}

// Columns A to B (1-based) of L: the bytes of that range that exist.
std::string_view Columns(std::string_view L, size_t A, size_t B) {
  if (A > L.size()) return {};
  return L.substr(A - 1, B - A + 1);
}

// Part equals Literal with a-z folded onto A-Z in single-byte characters;
// the double-byte characters of Literal must match exactly, so that a trail
// byte that happens to be a letter does not fold.
bool EqualsText(std::string_view Part, std::string_view Literal) {
  if (Part.size() != Literal.size()) return false;
  for (size_t i = 0; i < Literal.size(); ++i) {
    if (IsLeadByte(uchar(Literal[i])) && i + 1 < Literal.size()) {
      if (Part.compare(i, 2, Literal, i, 2) != 0) return false;
      ++i;
    } else if (UpCase(Part[i]) != UpCase(Literal[i])) {
      return false;
    }
  }
  return true;
}

bool StartsWithText(std::string_view L, std::string_view Literal) {
  return EqualsText(L.substr(0, Literal.size()), Literal);
}

bool ColumnsEqual(std::string_view L, size_t From, std::string_view Literal) {
  return EqualsText(Columns(L, From, From + Literal.size() - 1), Literal);
}

TServiceTexts BuildServiceTexts() {
  TServiceTexts t;
  t.UserListHeader = " JOB   CH  ID       HANDLE";
  t.IDListHeader = "ID        Name (handle)    Send";
  t.Welcome = "*Welcome to CB Band ";
  t.WideWelcome = Sjis("：*Welcome to CB Band ");
  t.PageNotice = Sjis("のユーザーからのメッセージです－");
  t.NeedParameter = Sjis("◆このコマンドはパラメーターが必要です◆");
  t.InputError = Sjis("◆入力データエラー◆");
  t.UsageTime = Sjis("ご利用時間");
  t.Minutes = Sjis("分");
  t.Seconds = Sjis("秒");
  t.ConferenceStart = Sjis("－リアルタイム会議開始 (終了:/E)－");
  t.WideConferenceStart = Sjis("：－リアルタイム会議開始 (終了:/E)－");
  return t;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public text functions

const TServiceTexts& ServiceTexts() {
  static const TServiceTexts texts = BuildServiceTexts();
  return texts;
}

std::string NormalizeText(std::string_view S) {
  std::string out(S.size() * 2, '\0');
  out.resize(NormalizeInto(S, out.data(), nullptr));
  return out;
}

std::string NormalizeTextMap(std::string_view S, TPositionMap& Map) {
  std::string out(S.size() * 2, '\0');
  Map.resize(S.size() * 2 + 1);
  const size_t length = NormalizeInto(S, out.data(), Map.data());
  out.resize(length);
  Map.resize(length + 1);
  return out;
}

bool IsTrailByte(std::string_view S, int P) {
  if (P < 1 || size_t(P) > S.size()) throw EIllegalIndex();
  size_t leads = 0;
  for (size_t i = size_t(P) - 1; i > 0 && IsLeadByte(uchar(S[i - 1])); --i) ++leads;
  return leads % 2 == 1;
}

std::string TrimWide(std::string_view S) {
  auto isWideSpace = [&](size_t i) { return uchar(S[i]) == 0x81 && S[i + 1] == 0x40; };
  size_t b = 0;
  size_t e = S.size();
  for (;;) {
    if (b < e && S[b] == ' ') {
      ++b;
    } else if (b + 1 < e && isWideSpace(b)) {
      b += 2;
    } else {
      break;
    }
  }
  for (;;) {
    if (e > b && S[e - 1] == ' ' && !IsTrailByte(S, int(e))) {
      --e;
    } else if (e >= b + 2 && isWideSpace(e - 2) && IsTrailByte(S, int(e))) {
      e -= 2;
    } else {
      break;
    }
  }
  return std::string(S.substr(b, e - b));
}

bool IsUserID(std::string_view S) {
  if (S.size() < 8) return false;
  const TNormalized normalized(S);
  const std::string_view t = TrimControl(normalized.Text());
  if (t.size() != 8) return false;
  for (size_t i = 0; i < 3; ++i) {
    if (!IsUpper(t[i])) return false;
  }
  for (size_t i = 3; i < 8; ++i) {
    if (!IsDigit(t[i])) return false;
  }
  return true;
}

bool IsJobNumber(std::string_view S) {
  const TNormalized normalized(S);
  const std::string_view t = TrimControl(normalized.Text());
  return !t.empty() && t.size() <= 3 && ReadInteger(t).has_value();
}

bool IsChannelName(std::string_view S) {
  std::string t(TrimControl(S));
  for (char& c : t) c = UpCase(c);
  if (t == "TALK") return true;
  if (t.size() > 1 && t.back() == 'S') t.pop_back();
  const std::optional<int32_t> channel = ReadInteger(t);
  return channel && *channel >= 1 && *channel <= 30;
}

// ---------------------------------------------------------------------------
// Classification

TLineKind TAnalysis::Analyze(std::string_view L) {
  ID.clear();
  Handle.clear();
  Job.clear();
  Channel.clear();
  TLineKind kind = lkNone;
  if (!L.empty()) kind = L[0] == '(' ? AnalyzeConference(L) : AnalyzeOther(L);
  if (kind == lkNone) {
    ID.clear();
    Handle.clear();
    Job.clear();
    Channel.clear();
  }
  return kind;
}

// "(channel,handle)" or "(channel,user ID,handle)".
TLineKind TAnalysis::AnalyzeConference(std::string_view L) {
  std::string_view channel;
  size_t p = 0;  // the 1-based column of the comma after the channel
  if (ColumnsEqual(L, 2, "TALK,")) {
    channel = "TALK";
    p = 6;
  } else if (L.size() > 3) {
    if (L[1] >= '1' && L[1] <= '9' && L[2] == ',') {
      channel = L.substr(1, 1);
      p = 3;
    } else if ((L[1] == '1' || L[1] == '2') && IsDigit(L[2]) && L[3] == ',') {
      channel = L.substr(1, 2);
      p = 4;
    } else if (L.substr(1, 3) == "30,") {
      channel = "30";
      p = 4;
    }
  }
  if (channel.empty()) return lkNone;
  Channel = channel;
  TLineKind kind = lkChat;
  const std::string_view id = Columns(L, p + 1, p + 8);
  if (IsUserID(id) && Columns(L, p + 9, p + 9) == ",") {
    ID = id;
    p += 9;
    kind = lkChatWithID;
  }
  const size_t close = L.find(')', p);
  if (close != std::string_view::npos) Handle = L.substr(p, close - p);
  return kind;
}

TLineKind TAnalysis::AnalyzeOther(std::string_view L) {
  using TTest = TLineKind (TAnalysis::*)(std::string_view);
  static constexpr TTest kTests[] = {
      &TAnalysis::AnalyzeUserListRow, &TAnalysis::AnalyzeJobPage,   &TAnalysis::AnalyzePageNotice,
      &TAnalysis::AnalyzeNotices,     &TAnalysis::AnalyzeUsageTime, &TAnalysis::AnalyzeBanners,
      &TAnalysis::AnalyzeIDLines,
  };
  for (TTest test : kTests) {
    const TLineKind kind = (this->*test)(L);
    if (kind != lkNone) return kind;
  }
  return lkNone;
}

// " JOB  CH    ID       HANDLE": job, channel, user ID and handle columns.
TLineKind TAnalysis::AnalyzeUserListRow(std::string_view L) {
  if (L.size() < 20) return lkNone;
  const std::string_view job = Columns(L, 2, 4);
  const std::string_view channel = TrimControl(Columns(L, 6, 10));
  const std::string_view id = Columns(L, 12, 19);
  if (!IsJobNumber(job) || !IsChannelName(channel) || !IsUserID(id)) return lkNone;
  Job = job;
  Channel = channel;
  ID = id;
  Handle = TrimControl(Columns(L, 21, 60));
  return lkUserListRow;
}

// A page notice with "JOB" in columns 4-6 and the sender's ID further on.
TLineKind TAnalysis::AnalyzeJobPage(std::string_view L) {
  if (L.size() <= 6 || !ColumnsEqual(L, 4, "JOB") || L[2] == ',') return lkNone;
  struct TPlace {
    size_t IDColumn;
    size_t JobEnd;
  };
  static constexpr TPlace kPlaces[] = {{28, 16}, {26, 14}, {24, 12}};
  for (const TPlace& place : kPlaces) {
    const std::string_view id = Columns(L, place.IDColumn, place.IDColumn + 7);
    if (IsUserID(id)) {
      Job = NormalizeText(Columns(L, 11, place.JobEnd));
      Channel = "Page";
      ID = id;
      return lkPage;
    }
  }
  return lkNone;
}

// "  ABC12345  のユーザーからのメッセージです－".
TLineKind TAnalysis::AnalyzePageNotice(std::string_view L) {
  if (L.size() <= 15 || !ColumnsEqual(L, 13, ServiceTexts().PageNotice)) return lkNone;
  const std::string_view id = Columns(L, 3, 10);
  if (!IsUserID(id)) return lkNone;
  ID = id;
  Channel = "Page";
  return lkPage;
}

// The participant list header and the two error notices.
TLineKind TAnalysis::AnalyzeNotices(std::string_view L) {
  const TServiceTexts& texts = ServiceTexts();
  if (L.size() > 25 && StartsWithText(L, texts.UserListHeader)) return lkUserListHeader;
  if (L.size() > 3 && StartsWithText(L, texts.NeedParameter)) return lkNeedParameter;
  if (L.size() > 19 && StartsWithText(L, texts.InputError)) return lkInputError;
  return lkNone;
}

// "  ご利用時間 12分 34秒": minutes into ID, seconds into Handle.
TLineKind TAnalysis::AnalyzeUsageTime(std::string_view L) {
  const TServiceTexts& texts = ServiceTexts();
  if (L.size() <= 12 || !ColumnsEqual(L, 3, texts.UsageTime)) return lkNone;
  const size_t minutesAt = L.find(texts.Minutes);
  const size_t secondsAt = L.find(texts.Seconds);
  if (minutesAt == std::string_view::npos || secondsAt == std::string_view::npos) return lkNone;
  const std::string_view minutes = TrimControl(minutesAt > 12 ? L.substr(12, minutesAt - 12) : "");
  const size_t secondsFrom = secondsAt >= 2 ? secondsAt - 2 : 0;
  const std::string_view seconds = TrimControl(L.substr(secondsFrom, secondsAt - secondsFrom));
  if (!ReadInteger(minutes) || !ReadInteger(seconds)) return lkNone;
  ID = minutes;
  Handle = seconds;
  return lkUsageTime;
}

// The chat's welcome banner and the conference start line.
TLineKind TAnalysis::AnalyzeBanners(std::string_view L) {
  if (L.size() <= 19) return lkNone;
  const TServiceTexts& texts = ServiceTexts();
  if (StartsWithText(L, texts.Welcome) || StartsWithText(L, texts.WideWelcome)) return lkWelcome;
  if (L == texts.ConferenceStart || L == texts.WideConferenceStart) return lkConferenceStart;
  return lkNone;
}

// A short line that begins with a user ID, and the ID list header.
TLineKind TAnalysis::AnalyzeIDLines(std::string_view L) {
  if (L.size() >= 9 && L.size() <= 31) {
    const std::string_view id = Columns(L, 1, 8);
    if (IsUserID(id)) {
      ID = id;
      return lkIDLine;
    }
  }
  if (L.size() > 30 && StartsWithText(L, ServiceTexts().IDListHeader)) return lkIDListHeader;
  return lkNone;
}
