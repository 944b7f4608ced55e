#pragma once
// Line analysis: classifies a received CP932 line by the host service's
// conventions (conference lines, page notices, participant lists, service
// notices) and the small text functions it rests on.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The class that Analyze gives a line (6 and 9 are not used).
enum TLineKind : int {
  lkNone = 0,
  lkUserListRow = 1,
  lkPage = 2,
  lkUserListHeader = 3,
  lkChat = 4,
  lkChatWithID = 5,
  lkWelcome = 7,
  lkConferenceStart = 8,
  lkNeedParameter = 10,
  lkUsageTime = 11,
  lkInputError = 12,
  lkIDLine = 13,
  lkIDListHeader = 14,
};

class TAnalysis {
 public:
  // Classifies L and fills the fields below; after lkNone all are empty.
  TLineKind Analyze(std::string_view L);

  std::string ID;       // the 8-byte user ID (minutes for lkUsageTime)
  std::string Handle;   // the participant's handle (seconds for lkUsageTime)
  std::string Job;      // the job column
  std::string Channel;  // TALK, 1 to 30 with an optional S, or "Page"

 private:
  TLineKind AnalyzeConference(std::string_view L);
  TLineKind AnalyzeOther(std::string_view L);
  TLineKind AnalyzeUserListRow(std::string_view L);
  TLineKind AnalyzeJobPage(std::string_view L);
  TLineKind AnalyzePageNotice(std::string_view L);
  TLineKind AnalyzeNotices(std::string_view L);
  TLineKind AnalyzeUsageTime(std::string_view L);
  TLineKind AnalyzeBanners(std::string_view L);
  TLineKind AnalyzeIDLines(std::string_view L);
};

// The service's fixed texts that Analyze looks for, as CP932 bytes.
struct TServiceTexts {
  std::string UserListHeader;       // " JOB   CH  ID       HANDLE"
  std::string IDListHeader;         // "ID        Name (handle)    Send"
  std::string Welcome;              // "*Welcome to CB Band "
  std::string WideWelcome;          // the same after a full-width colon
  std::string PageNotice;           // the page notice after the sender's ID
  std::string NeedParameter;        // a command needs a parameter
  std::string InputError;           // input data error
  std::string UsageTime;            // the usage time notice
  std::string Minutes;              // the unit after the minutes
  std::string Seconds;              // the unit after the seconds
  std::string ConferenceStart;      // the whole conference start line
  std::string WideConferenceStart;  // the same after a full-width colon
};
const TServiceTexts& ServiceTexts();

// A position outside the text given to IsTrailByte.
class EIllegalIndex : public std::out_of_range {
 public:
  EIllegalIndex() : std::out_of_range("Illegal Index") {}
};

// Full-width ASCII to half-width, a-z to upper case, half-width katakana to
// full-width (with voiced and semi-voiced marks joined).
std::string NormalizeText(std::string_view S);

// One entry per byte of the normalised text: the 1-based position in the
// source of the character that produced it, then one entry for the position
// just past the last character consumed.
using TPositionMap = std::vector<uint32_t>;
std::string NormalizeTextMap(std::string_view S, TPositionMap& Map);

// S without leading and trailing spaces and full-width spaces (0x81 0x40).
std::string TrimWide(std::string_view S);

// True when the byte at 1-based position P is the second byte of a
// double-byte character. Raises EIllegalIndex when P is outside S.
bool IsTrailByte(std::string_view S, int P);

// Three letters and five digits, half- or full-width, either case.
bool IsUserID(std::string_view S);
// One to three bytes that read as an integer.
bool IsJobNumber(std::string_view S);
// TALK, or 1 to 30 with an optional trailing S, either case.
bool IsChannelName(std::string_view S);
