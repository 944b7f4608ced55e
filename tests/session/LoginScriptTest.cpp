#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/LoginScript.h"
#include "text/Codec.h"

namespace {

using TSteps = std::vector<std::string>;

struct TParseCase {
  const char* Name;
  std::string Script;
  TSteps Steps;
};

class ParseScriptCases : public testing::TestWithParam<TParseCase> {};

TEST_P(ParseScriptCases, CutsIntoAwaitedTextsAndSteps) {
  EXPECT_EQ(ParseScript(GetParam().Script), GetParam().Steps);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ParseScriptCases,
    testing::Values(TParseCase{"Telnet",
                               Sjis("[>]SVC'[>]$I'[>]$P'; ⇒Telnet"),
                               {">", "SVC'", ">", "$I'", ">", "$P'"}},
                    TParseCase{"LeadingStep",
                               Sjis("**@P'[*]C NIF'[>]SVC'[>]$I'[>]$P'; ⇒Road2"),
                               {"", "**@P'", "*", "C NIF'", ">", "SVC'", ">", "$I'", ">", "$P'"}},
                    TParseCase{"BareReturnStep", "[:]NIFTY'[:]'", {":", "NIFTY'", ":", "'"}},
                    TParseCase{"TwoWaitsInARow", "[a][b]X", {"a", "", "b", "X"}},
                    TParseCase{"EndsAtFinalSemicolon", "[>]SVC';", {">", "SVC'"}},
                    TParseCase{"BracketsAreLiteral", "[';*$[x]Y", {"';*$[x", "Y"}},
                    TParseCase{"MissingClose", "[abc", {"abc"}},
                    TParseCase{"ClosingBracketInStep", "]x[>]y", {"", "]x", ">", "y"}},
                    TParseCase{"EndsWithWait", "[a]x[b]", {"a", "x", "b"}},
                    TParseCase{"OnlyStep", "$I'", {"", "$I'"}}, TParseCase{"Empty", "", {}}),
    [](const testing::TestParamInfo<TParseCase>& info) { return info.param.Name; });

// A script engine whose sends and pauses are written into one record; each
// pause has run by the time it is recorded.
class LoginScriptRun : public testing::Test {
 protected:
  LoginScriptRun() {
    Script.Send = [this](const std::string& text) { Record.push_back(text); };
    Script.Pause = [this](int ms) {
      Record.push_back("pause " + std::to_string(ms));
      Script.ContinueStep();
    };
  }
  void Start(const std::string& script) { Script.Start(script, "USER01", "secret"); }

  TLoginScript Script;
  TSteps Record;
};

struct TStepCase {
  const char* Name;
  std::string Step;
  TSteps Sent;
};

class RunStepCases : public LoginScriptRun, public testing::WithParamInterface<TStepCase> {};

TEST_P(RunStepCases, SendsItemsInOrder) {
  Start("");
  Script.RunStep(GetParam().Step);
  EXPECT_EQ(Record, GetParam().Sent);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RunStepCases,
    testing::Values(TStepCase{"PlainInOnePiece", "C NIF", {"C NIF"}},
                    TStepCase{"EmptySendsEmpty", "", {""}},
                    TStepCase{
                        "PausesThenBytes", "**@P'", {"pause 1000", "pause 1000", "@", "P", "\r"}},
                    TStepCase{"UserID", "$I'", {"USER01", "\r"}},
                    TStepCase{"Password", "$P'", {"secret", "\r"}},
                    TStepCase{"DoubleDollar", "$$I", {"$", "I"}},
                    TStepCase{"DollarOtherLetter", "$x", {"$", "x"}},
                    TStepCase{"DollarBeforeReturn", "$'", {"$", "\r"}},
                    TStepCase{"DollarBeforePause", "$*", {"$", "pause 1000"}},
                    TStepCase{"DollarAlone", "$", {}}, TStepCase{"FinalDollar", "a$", {"a"}}),
    [](const testing::TestParamInfo<TStepCase>& info) { return info.param.Name; });

TEST_F(LoginScriptRun, AnswersOnePairPerMatchingBlockUntilTheEnd) {
  Start(Sjis("[>]SVC'[>]$I'[>]$P'; ⇒Telnet"));
  EXPECT_EQ(Script.CheckBlock("Welcome\r\n"), TPromptResult::NoMatch);
  EXPECT_EQ(Script.CheckBlock("Service>\r\nID>"), TPromptResult::Answered);
  EXPECT_EQ(Record, (TSteps{"S", "V", "C", "\r"}));
  Record.clear();
  EXPECT_EQ(Script.CheckBlock("ID>"), TPromptResult::Answered);
  EXPECT_EQ(Script.CheckBlock("Password>"), TPromptResult::Ended);
  EXPECT_EQ(Record, (TSteps{"USER01", "\r", "secret", "\r"}));
  EXPECT_TRUE(Script.Steps().empty());
  EXPECT_EQ(Script.CheckBlock(">"), TPromptResult::NoMatch);
}

TEST_F(LoginScriptRun, MatchesCaseSensitivelyWithinOneBlock) {
  Start("[Name:]x");
  EXPECT_EQ(Script.CheckBlock("name:"), TPromptResult::NoMatch);
  EXPECT_EQ(Script.CheckBlock("Na"), TPromptResult::NoMatch);
  EXPECT_EQ(Script.CheckBlock("me:"), TPromptResult::NoMatch);
  EXPECT_TRUE(Record.empty());
  EXPECT_EQ(Script.CheckBlock("\r\nName:"), TPromptResult::Ended);
  EXPECT_EQ(Record, TSteps{"x"});
}

TEST_F(LoginScriptRun, EmptyWaitMatchesOnlyAtConnect) {
  Start("**@P'[*]C NIF'[x][]y");
  Script.RunFirstStep();
  EXPECT_EQ(Record, (TSteps{"pause 1000", "pause 1000", "@", "P", "\r"}));
  EXPECT_EQ(Script.Steps().front(), "*");
  Record.clear();
  Script.RunFirstStep();  // the first pair now waits for "*"
  EXPECT_TRUE(Record.empty());
  EXPECT_EQ(Script.CheckBlock("*"), TPromptResult::Answered);
  EXPECT_EQ(Script.CheckBlock("x"), TPromptResult::Answered);  // an empty step
  EXPECT_EQ(Record, (TSteps{"C", " ", "N", "I", "F", "\r", ""}));
  EXPECT_EQ(Script.CheckBlock("anything"), TPromptResult::NoMatch);
  EXPECT_TRUE(Script.HasPairs());
}

TEST_F(LoginScriptRun, APauseHoldsTheRestOfTheStepUntilContinuedOrCancelled) {
  int pauses = 0;
  Script.Pause = [&](int) { ++pauses; };
  Start("[a]x*y'*z[b]w");
  EXPECT_EQ(Script.CheckBlock("a"), TPromptResult::Answered);
  EXPECT_EQ(Record, TSteps{"x"});
  EXPECT_EQ(pauses, 1);
  Script.ContinueStep();
  EXPECT_EQ(Record, (TSteps{"x", "y", "\r"}));
  EXPECT_EQ(pauses, 2);
  Script.Cancel();
  Script.ContinueStep();  // a pause that ends after Cancel sends nothing
  EXPECT_EQ(Record, (TSteps{"x", "y", "\r"}));
}

TEST_F(LoginScriptRun, StepAtConnectLeavesTheScriptOpenWhenNoPairRemains) {
  Start("$I'");
  Script.RunFirstStep();
  EXPECT_EQ(Record, (TSteps{"USER01", "\r"}));
  EXPECT_FALSE(Script.HasPairs());
}

TEST_F(LoginScriptRun, ScriptEndingWithAWaitEndsAfterItsLastStep) {
  Start("[a]x[b]");
  EXPECT_EQ(Script.CheckBlock("a"), TPromptResult::Ended);
  EXPECT_TRUE(Script.Steps().empty());
}

TEST_F(LoginScriptRun, CancelStopsWaiting) {
  Start("[>]SVC'");
  EXPECT_TRUE(Script.HasPairs());
  Script.Cancel();
  EXPECT_FALSE(Script.HasPairs());
  EXPECT_EQ(Script.CheckBlock(">"), TPromptResult::NoMatch);
  EXPECT_TRUE(Record.empty());
}

TEST_F(LoginScriptRun, RestartRebuildsThePairs) {
  Start("[>]a'[>]b'");
  Script.CheckBlock(">");
  Start("[>]a'[>]b'");
  EXPECT_EQ(Script.Steps().size(), 4u);
}

TEST(LoginScript, NeedsIDWhenDollarIAppearsAnywhere) {
  EXPECT_TRUE(ScriptNeedsID("[>]$I'"));
  EXPECT_TRUE(ScriptNeedsID("[$I]x"));
  EXPECT_FALSE(ScriptNeedsID("[>]$P'"));
  EXPECT_FALSE(ScriptNeedsID("[>]$i'"));
}

}  // namespace
