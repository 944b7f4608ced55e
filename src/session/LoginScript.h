#pragma once
// The login script engine. A script is one line of CP932 text: "[" text "]"
// waits until the host sends that text, anything else is a step sent when the
// wait before it is satisfied, ";" outside brackets starts a comment. In a
// step "'" is a carriage return, "*" a pause of one second, "$I" the user ID,
// "$P" the password and "$$" one "$".
//
// The session owns one engine. Sending and pausing go through the events
// Send and Pause so that the session can route them to its transport and to
// its pause. A "*" stops the walk through a step: the owner calls
// ContinueStep when the pause has run, and handles no received data until
// then, so that the host sees the steps in order.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Cuts a script into its list of pairs: entry 2k is the awaited text, entry
// 2k+1 the step that answers it. A script that does not begin with "[" begins
// with a step answering an empty wait. A script ending with a wait leaves one
// awaited text without a step at the end.
std::vector<std::string> ParseScript(std::string_view script);

// True when the script uses the user ID ("$I" anywhere); such a script needs
// an entry with an ID before it may connect.
bool ScriptNeedsID(std::string_view script);

// What a received block did to the running script.
enum class TPromptResult {
  NoMatch,   // no script running, or its awaited text is not in the block
  Answered,  // the awaited text was found and its step sent; more pairs wait
  Ended,     // as Answered, and the script has no pair left
};

class TLoginScript {
 public:
  // Sends text to the host unchanged (the session's Send).
  std::function<void(const std::string& text)> Send;
  // Starts a pause of the given milliseconds (1000 for each "*"), after which
  // the owner calls ContinueStep. Unassigned, a "*" waits for nothing.
  std::function<void(int milliseconds)> Pause;

  // Starts a script for a connection: the pairs of script, with the entry's
  // user ID and password that its steps send.
  void Start(std::string_view script, const std::string& id, const std::string& password);
  // Stops the script: no further pair is awaited, and the rest of a step
  // waiting behind a pause is not sent.
  void Cancel();
  // Stops waiting: no further pair is awaited, but a step that waits behind a
  // pause is still walked to its end (the user's Cancel).
  void StopWaiting() { FSteps.clear(); }

  // True while at least one pair (awaited text and step) remains.
  bool HasPairs() const { return FSteps.size() >= 2; }
  const std::vector<std::string>& Steps() const { return FSteps; }

  // After the connection is up: when the first pair waits for nothing, runs
  // its step and removes it. The script goes on even when no pair is left.
  void RunFirstStep();
  // Looks for the first pair's awaited text in one received block, as
  // received (byte-exact, case-sensitive). On a match runs its step and
  // removes the pair; at most one pair per block. An empty awaited text never
  // matches here.
  TPromptResult CheckBlock(std::string_view block);

  // Sends one step: plain text in one piece; otherwise item by item, pausing
  // one second for each "*".
  void RunStep(std::string_view step);
  // Sends the rest of a step after its pause, up to the next "*".
  void ContinueStep();

 private:
  std::string TakeFirstStep();
  void SendText(const std::string& text);
  void SendItem(char item);

  std::vector<std::string> FSteps;
  std::string FRest;          // the step being walked
  std::size_t FRestPos = 0;   // where the walk goes on
  std::string FID;
  std::string FPassword;
};
