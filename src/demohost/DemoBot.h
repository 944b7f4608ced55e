#pragma once
// The host's resident: a participant of the conference that greets newcomers
// and now and then says something that shows a kind of line: a link, a mail
// address, a word worth emphasising, an animated line.

#include <cstddef>
#include <string>

class TDemoBot {
 public:
  // The bot's handle and user ID, as the participant list shows them.
  static std::string Handle();
  static std::string UserId() { return "BOT00000"; }

  // The next remark, in turn; code page 932, without the conference prefix.
  // The link to the host names `port`, the one it listens on.
  std::string NextRemark(unsigned port);
  // The greeting for a user who enters the conference.
  static std::string Greeting(const std::string& handle);
  // The answer to a page.
  static std::string PageAnswer();

 private:
  std::size_t FNext = 0;
};
