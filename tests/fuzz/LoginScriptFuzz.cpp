// The login script parser and step runner: awaited texts and steps split the
// script at its brackets; received blocks answer at most one pair each, only
// when they hold its awaited text; every step sends its text expanded (CR for
// "'", the ID for "$I", the password for "$P") with one pause per "*".

#include <algorithm>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "session/LoginScript.h"

namespace {

struct TExpansion {
  std::string Sent;
  int Pauses = 0;
};

TExpansion Expand(const std::string& step, const std::string& id, const std::string& password) {
  TExpansion expansion;
  for (size_t i = 0; i < step.size(); ++i) {
    if (step[i] == '\'')
      expansion.Sent += '\r';
    else if (step[i] == '*')
      ++expansion.Pauses;
    else if (step[i] != '$')
      expansion.Sent += step[i];
    else if (i + 1 == step.size())
      break;
    else if (step[i + 1] == 'I')
      expansion.Sent += id, ++i;
    else if (step[i + 1] == 'P')
      expansion.Sent += password, ++i;
    else
      expansion.Sent += '$', i += step[i + 1] == '$' ? 1 : 0;
  }
  return expansion;
}

void CheckParse(const std::vector<std::string>& steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i % 2 == 0)
      FUZZ_CHECK(steps[i].find(']') == std::string::npos);
    else
      FUZZ_CHECK(steps[i].find_first_of("[;") == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  const std::string script = input.Text(), id = input.Text(), password = input.Text();
  CheckParse(ParseScript(script));

  TLoginScript engine;
  TExpansion done;
  engine.Send = [&done](const std::string& text) { done.Sent += text; };
  bool paused = false;
  engine.Pause = [&done, &paused](int milliseconds) {
    FUZZ_CHECK(milliseconds == 1000 && !paused);
    ++done.Pauses;
    paused = true;
  };
  // The owner's side of a pause: once it has run, the step goes on.
  auto runPauses = [&engine, &paused] {
    while (paused) {
      paused = false;
      engine.ContinueStep();
    }
  };
  engine.Start(script, id, password);
  FUZZ_CHECK(engine.Steps() == ParseScript(script));

  TExpansion expected;
  auto expectStep = [&](const std::string& step) {
    const TExpansion expansion = Expand(step, id, password);
    expected.Sent += expansion.Sent;
    expected.Pauses += expansion.Pauses;
  };
  if (engine.HasPairs() && engine.Steps()[0].empty()) expectStep(engine.Steps()[1]);
  engine.RunFirstStep();
  runPauses();
  while (!input.AtEnd()) {
    const std::string block = input.Text();
    const std::vector<std::string> before = engine.Steps();
    const TPromptResult result = engine.CheckBlock(block);
    runPauses();
    const bool matches =
        before.size() >= 2 && !before[0].empty() && block.find(before[0]) != std::string::npos;
    FUZZ_CHECK(matches == (result != TPromptResult::NoMatch));
    if (!matches) {
      FUZZ_CHECK(engine.Steps() == before);
      continue;
    }
    expectStep(before[1]);
    const bool ended = before.size() < 4;
    FUZZ_CHECK(ended == (result == TPromptResult::Ended));
    FUZZ_CHECK(engine.Steps().size() == (ended ? 0 : before.size() - 2));
  }
  FUZZ_CHECK(done.Sent == expected.Sent && done.Pauses == expected.Pauses);
  return 0;
}
