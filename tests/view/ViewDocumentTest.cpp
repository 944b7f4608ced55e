// The view's document on its own, without a widget: every operation keeps
// each line's record (colour, animation, serial) with its text.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "text/Errors.h"
#include "view/ViewDocument.h"

namespace {

struct TShown {
  std::string Text;
  QRgb Color;
  bool operator==(const TShown&) const = default;
};

std::vector<TShown> Shown(const TViewDocument& document) {
  std::vector<TShown> shown;
  for (int i = 0; i < document.Count(); ++i)
    shown.push_back({std::string(document.Text(i)), document.Line(i).Color});
  return shown;
}

TMotion TwoFrames() {
  TMotion motion;
  motion.Start = 1;
  motion.Width = 1;
  motion.Frame = 1;
  motion.Frames = {"x", "y"};
  return motion;
}

// "a" red, "b" green, "c" blue.
TViewDocument& Filled(TViewDocument& document) {
  document.Append("a", {}, 1, {});
  document.Append("b", {}, 2, {});
  document.Append("c", {}, 3, {});
  return document;
}

TEST(ViewDocument, RecordsStayWithTheirLines) {
  struct Case {
    const char* name;
    std::function<void(TViewDocument&)> change;
    std::vector<TShown> shown;
  };
  const std::vector<Case> cases = {
      {"appended in two parts", [](TViewDocument& d) { d.Append("d", "\x1F", 4, {}); },
       {{"a", 1}, {"b", 2}, {"c", 3}, {"d\x1F", 4}}},
      {"inserted", [](TViewDocument& d) { d.Insert(1, "i", 9); },
       {{"a", 1}, {"i", 9}, {"b", 2}, {"c", 3}}},
      {"deleted", [](TViewDocument& d) { d.Delete(1); }, {{"a", 1}, {"c", 3}}},
      {"exchanged", [](TViewDocument& d) { d.Exchange(0, 2); }, {{"c", 3}, {"b", 2}, {"a", 1}}},
      {"put keeps the colour", [](TViewDocument& d) { d.Put(1, "B"); },
       {{"a", 1}, {"B", 2}, {"c", 3}}},
      {"rewritten keeps the colour", [](TViewDocument& d) { d.Rewrite(2, "C", "!", {}); },
       {{"a", 1}, {"b", 2}, {"C!", 3}}},
      {"blanked", [](TViewDocument& d) { d.Blank(0); }, {{"", 1}, {"b", 2}, {"c", 3}}},
      {"first two dropped", [](TViewDocument& d) { d.DeleteFirst(2); }, {{"c", 3}}},
      {"more than all dropped", [](TViewDocument& d) { d.DeleteFirst(5); }, {}},
      {"none dropped", [](TViewDocument& d) { d.DeleteFirst(0); },
       {{"a", 1}, {"b", 2}, {"c", 3}}},
      {"cleared", [](TViewDocument& d) { d.Clear(); }, {}},
  };
  for (const Case& c : cases) {
    TViewDocument document;
    c.change(Filled(document));
    EXPECT_EQ(Shown(document), c.shown) << c.name;
  }
}

TEST(ViewDocument, SerialsChangeExactlyWhenATextChanges) {
  TViewDocument document;
  Filled(document);
  auto serials = [&document] {
    std::vector<uint64_t> serials;
    for (int i = 0; i < document.Count(); ++i) serials.push_back(document.Line(i).Serial);
    return serials;
  };
  const std::vector<uint64_t> first = serials();
  EXPECT_EQ(std::set<uint64_t>(first.begin(), first.end()).size(), 3u);
  EXPECT_GT(*std::min_element(first.begin(), first.end()), 1u);  // 0 and 1 mean "no line"
  document.Exchange(0, 2);
  EXPECT_EQ(serials(), (std::vector<uint64_t>{first[2], first[1], first[0]}));
  document.DeleteFirst(1);
  EXPECT_EQ(serials(), (std::vector<uint64_t>{first[1], first[0]}));
  std::vector<uint64_t> seen = first;
  const std::vector<std::function<void()>> changes = {
      [&] { document.Put(0, "p"); }, [&] { document.Rewrite(0, "r", {}, {}); },
      [&] { document.Blank(0); }};
  for (const auto& change : changes) {
    change();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), document.Line(0).Serial), 0);
    seen.push_back(document.Line(0).Serial);
    EXPECT_EQ(document.Line(1).Serial, first[0]);
  }
}

TEST(ViewDocument, AnimationStepsThroughItsFramesAndPutKeepsIt) {
  TViewDocument document;
  document.Append("x-", {}, 0, TwoFrames());
  document.NextFrame(0);
  EXPECT_EQ(document.Text(0), "y-");
  document.Put(0, "x+");
  EXPECT_EQ(document.Line(0).Motion.Frame, 2);
  document.NextFrame(0);
  EXPECT_EQ(document.Text(0), "x+");
  document.Rewrite(0, "z", {}, {});
  EXPECT_TRUE(document.Line(0).Motion.Empty());
}

TEST(ViewDocument, BadIndexesRaiseTheStoresErrorAndChangeNothing) {
  const std::vector<std::pair<const char*, std::function<void(TViewDocument&)>>> cases = {
      {"Line", [](TViewDocument& d) { d.Line(3); }},
      {"Text", [](TViewDocument& d) { d.Text(-1); }},
      {"Put", [](TViewDocument& d) { d.Put(3, "x"); }},
      {"Rewrite", [](TViewDocument& d) { d.Rewrite(-1, "x", {}, {}); }},
      {"Insert", [](TViewDocument& d) { d.Insert(4, "x", 0); }},
      {"Delete", [](TViewDocument& d) { d.Delete(3); }},
      {"Exchange", [](TViewDocument& d) { d.Exchange(0, 3); }},
      {"NextFrame", [](TViewDocument& d) { d.NextFrame(3); }},
  };
  for (const auto& [name, operation] : cases) {
    TViewDocument document;
    Filled(document);
    EXPECT_THROW(operation(document), EListError) << name;
    EXPECT_EQ(Shown(document), (std::vector<TShown>{{"a", 1}, {"b", 2}, {"c", 3}})) << name;
  }
}

TEST(ViewDocument, LoadedLinesTakeTheColourGiven) {
  TViewDocument document;
  Filled(document);
  std::istringstream stream("one\r\ntwo\r\n");
  document.LoadFromStream(stream, 7);
  EXPECT_EQ(Shown(document), (std::vector<TShown>{{"one", 7}, {"two", 7}}));
  EXPECT_NE(document.Line(0).Serial, document.Line(1).Serial);
  EXPECT_THROW(document.LoadFromFile("/nonexistent/folder/file.txt", 7), EInOutError);
  EXPECT_EQ(document.Count(), 0);
}

}  // namespace
