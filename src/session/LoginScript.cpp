#include "session/LoginScript.h"

namespace {

constexpr char WaitOpen = '[';
constexpr char WaitClose = ']';
constexpr char CommentStart = ';';
constexpr char ReturnMark = '\'';
constexpr char PauseMark = '*';
constexpr char Escape = '$';
constexpr int PauseMilliseconds = 1000;

// Reads the bracketed text that starts at pos (on the "["); pos ends past the
// "]" or at the end of the script.
std::string ReadWait(std::string_view script, std::size_t& pos) {
  const std::size_t start = pos + 1;
  const std::size_t close = script.find(WaitClose, start);
  if (close == std::string_view::npos) {
    pos = script.size();
    return std::string(script.substr(start));
  }
  pos = close + 1;
  return std::string(script.substr(start, close - start));
}

// Reads a step that starts at pos; pos ends on the next "[" or ";" or at the end.
std::string ReadStep(std::string_view script, std::size_t& pos) {
  const std::size_t start = pos;
  pos = script.find_first_of("[;", start);
  if (pos == std::string_view::npos) pos = script.size();
  return std::string(script.substr(start, pos - start));
}

}  // namespace

std::vector<std::string> ParseScript(std::string_view script) {
  std::vector<std::string> steps;
  std::string text(script);
  if (!text.empty() && text.front() != WaitOpen) text.insert(0, "[]");
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == WaitOpen) {
      // An awaited text always sits at an even index: two waits in a row get
      // an empty step between them.
      if (steps.size() % 2 == 1) steps.emplace_back();
      steps.push_back(ReadWait(text, pos));
    } else {
      steps.push_back(ReadStep(text, pos));
      if (pos < text.size() && text[pos] == CommentStart) break;
    }
  }
  return steps;
}

bool ScriptNeedsID(std::string_view script) {
  return script.find("$I") != std::string_view::npos;
}

void TLoginScript::Start(std::string_view script, const std::string& id,
                         const std::string& password) {
  Cancel();
  FSteps = ParseScript(script);
  FID = id;
  FPassword = password;
}

void TLoginScript::Cancel() {
  FSteps.clear();
  FRest.clear();
  FRestPos = 0;
}

std::string TLoginScript::TakeFirstStep() {
  std::string step = std::move(FSteps[1]);
  FSteps.erase(FSteps.begin(), FSteps.begin() + 2);
  return step;
}

void TLoginScript::RunFirstStep() {
  if (!HasPairs() || !FSteps[0].empty()) return;
  RunStep(TakeFirstStep());
}

TPromptResult TLoginScript::CheckBlock(std::string_view block) {
  if (!HasPairs()) return TPromptResult::NoMatch;
  const std::string& awaited = FSteps[0];
  if (awaited.empty() || block.find(awaited) == std::string_view::npos)
    return TPromptResult::NoMatch;
  // The pair leaves the list before its step runs, so that nothing done during
  // the step's pauses can answer it twice.
  RunStep(TakeFirstStep());
  if (HasPairs()) return TPromptResult::Answered;
  FSteps.clear();
  return TPromptResult::Ended;
}

void TLoginScript::SendText(const std::string& text) {
  if (Send) Send(text);
}

void TLoginScript::RunStep(std::string_view step) {
  if (step.find_first_of("'*$") == std::string_view::npos) {
    SendText(std::string(step));
    return;
  }
  FRest = step;
  FRestPos = 0;
  ContinueStep();
}

void TLoginScript::ContinueStep() {
  while (FRestPos < FRest.size()) {
    const char c = FRest[FRestPos++];
    if (c == PauseMark && Pause) {
      Pause(PauseMilliseconds);
      return;
    }
    if (c != Escape) {
      SendItem(c);
    } else if (FRestPos < FRest.size()) {
      const char next = FRest[FRestPos];
      if (next == 'I') {
        SendText(FID);
        ++FRestPos;
      } else if (next == 'P') {
        SendText(FPassword);
        ++FRestPos;
      } else {
        // "$$" is one "$"; "$" before any other byte is a "$" and that byte
        // is then handled as the next item.
        SendText("$");
        if (next == Escape) ++FRestPos;
      }
    }
  }
  FRest.clear();
  FRestPos = 0;
}

// A carriage return for "'", nothing for a "*" that waits for nothing, else the byte.
void TLoginScript::SendItem(char item) {
  if (item == ReturnMark)
    SendText("\r");
  else if (item != PauseMark)
    SendText(std::string(1, item));
}
