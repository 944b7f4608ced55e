#include "demohost/ServiceText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "text/Analysis.h"
#include "text/Codec.h"

namespace ServiceText {

namespace {

// Left-aligned in a column of `width` bytes.
std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Number(int value, int width) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%*d", width, value);
  return digits;
}

}  // namespace

std::string Notice(const char* utf8) { return Sjis(utf8); }

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string WelcomeBanner() { return "*Welcome to CB Band WOMBAT DEMO HOST"; }

std::vector<std::string> Menu() {
  return {Sjis(" C : リアルタイム会議"), Sjis(" W : 会議の参加者一覧"),
          Sjis(" Q : 終了")};
}

std::string MenuPrompt() { return "COMMAND>"; }

std::string ConferenceStart() { return Sjis("－リアルタイム会議開始 (終了:/E)－"); }

std::string ConferenceEnd() { return Sjis("－リアルタイム会議終了－"); }

std::string ConferenceLine(const std::string& handle, const std::string& text) {
  return "(TALK," + handle + ") " + text;
}

std::string ParticipantHeader() { return " JOB   CH  ID       HANDLE"; }

// Columns: 2-4 job, 6-10 channel, 12-19 user ID, 21 on the handle.
std::string ParticipantRow(int job, const std::string& userId, const std::string& handle) {
  return " " + Number(job % 1000, 3) + " " + Padded("TALK", 5) + " " + Padded(userId, 8) + " " +
         handle;
}

// Columns: 3-10 the user ID, 13-44 the notice.
std::string PageNotice(const std::string& fromUserId) {
  return Sjis("－") + Padded(fromUserId, 8) + Sjis("　のユーザーからのメッセージです－");
}

std::string PageSent(const std::string& toUserId) {
  return Sjis("－") + toUserId + Sjis(" にメッセージを送りました－");
}

std::string PageText(const std::string& fromUserId, const std::string& text) {
  return fromUserId + "> " + text;
}

bool MimicsServiceLine(const std::string& text) {
  TAnalysis analysis;
  for (std::size_t i = 0; i < text.size(); i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1)
    if (analysis.Analyze(std::string_view(text).substr(i)) != lkNone) return true;
  return false;
}

bool IsUserIdForm(const std::string& id) {
  const std::string upper = Upper(id);
  return upper.size() > 3 && upper.starts_with("WMB") &&
         std::all_of(upper.begin() + 3, upper.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string NeedParameter() { return Sjis("◆このコマンドはパラメーターが必要です◆"); }

std::string InputError() { return Sjis("◆入力データエラー◆"); }

std::string UsageTime(long long seconds) {
  return Sjis("－ご利用時間 ") + std::to_string(seconds / 60) + Sjis("分 ") +
         Number(static_cast<int>(seconds % 60), 2) + Sjis("秒－");
}

}  // namespace ServiceText
