#pragma once
// The lines of the chat service, in code page 932 and without line ends,
// laid out by the service's conventions so that a terminal recognises them:
// the welcome banner, the conference start notice, conference lines, the
// participant list, page notices and the error notices.

#include <string>
#include <vector>

namespace ServiceText {

// "*Welcome to CB Band " and the host's name.
std::string WelcomeBanner();
// The short menu shown after the banner and after leaving the conference.
std::vector<std::string> Menu();
// The prompt that ends the menu, without a line end.
std::string MenuPrompt();
// "－リアルタイム会議開始 (終了:/E)－"
std::string ConferenceStart();
std::string ConferenceEnd();
// "(TALK,handle) text"
std::string ConferenceLine(const std::string& handle, const std::string& text);
// The header and one row of the participant list: job number, channel, user
// ID and handle in their fixed columns.
std::string ParticipantHeader();
std::string ParticipantRow(int job, const std::string& userId, const std::string& handle);
// The page notice: the sender's user ID and "のユーザーからのメッセージです－".
std::string PageNotice(const std::string& fromUserId);
std::string PageSent(const std::string& toUserId);
// The page's text line, marked as the sender's: "WMB00001> text".
std::string PageText(const std::string& fromUserId, const std::string& text);
// True when a user's text, from any character on (where a terminal may fold
// it), reads as a line of the service's own forms.
bool MimicsServiceLine(const std::string& text);
// True for a login ID of the form the host gives user IDs (WMB and digits).
bool IsUserIdForm(const std::string& id);
// "◆このコマンドはパラメーターが必要です◆" and "◆入力データエラー◆".
std::string NeedParameter();
std::string InputError();
// The usage time in minutes and seconds, shown when a user leaves.
std::string UsageTime(long long seconds);
// ASCII letters in upper case, for comparing IDs and commands.
std::string Upper(std::string text);
// Any other line of the host: UTF-8 source text in code page 932.
std::string Notice(const char* utf8);

}  // namespace ServiceText
