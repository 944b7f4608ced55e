#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "text/LightStrings.h"

namespace {

using Lines = std::vector<std::string>;

Lines LinesOf(const TLightStrings& store) {
  Lines lines;
  store.AssignTo(lines);
  return lines;
}

void Fill(TLightStrings& store, const Lines& lines) {
  for (const std::string& line : lines) store.Add(line);
}

class TempFile {
 public:
  TempFile()
      : FPath(std::filesystem::temp_directory_path() /
              ("lightstrings-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {}
  ~TempFile() { std::filesystem::remove(FPath); }
  std::string Path() const { return FPath.string(); }
  void Write(const std::string& bytes) const { std::ofstream(FPath, std::ios::binary) << bytes; }
  std::string Read() const {
    std::ifstream in(FPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  std::filesystem::path FPath;
};

TEST(LightStrings, GrowsByThirtyTwoSlots) {
  TLightStrings store;
  for (int i = 0; i < 32; ++i) store.Add("x");
  EXPECT_EQ(store.Capacity(), 32);
  EXPECT_EQ(store.Add("33rd"), 32);
  EXPECT_EQ(store.Capacity(), 64);
  store.Insert(0, "first");
  EXPECT_EQ(store.Capacity(), 64);
  EXPECT_EQ(store.Get(0), "first");
  EXPECT_EQ(store.Get(33), "33rd");
}

TEST(LightStrings, DeleteShiftsLinesAndLeavesFreedSlotsEmpty) {
  TLightStrings store;
  Fill(store, {"a", "b", "c"});
  store.Delete(0);
  EXPECT_EQ(LinesOf(store), (Lines{"b", "c"}));
  EXPECT_EQ(store.Capacity(), 32);
  // The slot that fell free at the end must not still hold "c".
  store.SetCount(3);
  EXPECT_EQ(LinesOf(store), (Lines{"b", "c", ""}));

  TLightStrings single;
  single.Add("only");
  single.Delete(0);
  EXPECT_EQ(single.Count(), 0);
  EXPECT_EQ(single.Capacity(), 32);
  EXPECT_EQ(single.Add("again"), 0);
  EXPECT_EQ(LinesOf(single), (Lines{"again"}));
}

TEST(LightStrings, DeleteRangeRemovesTheLinesAtOnce) {
  struct Case {
    const char* name;
    int index;
    int count;
    Lines kept;
  };
  for (const Case& c : {Case{"from the front", 0, 3, {"d", "e"}},
                        Case{"in the middle", 1, 2, {"a", "d", "e"}},
                        Case{"up to the end", 3, 2, {"a", "b", "c"}},
                        Case{"every line", 0, 5, {}},
                        Case{"none", 2, 0, {"a", "b", "c", "d", "e"}}}) {
    TLightStrings store;
    Fill(store, {"a", "b", "c", "d", "e"});
    store.DeleteRange(c.index, c.count);
    EXPECT_EQ(LinesOf(store), c.kept) << c.name;
    EXPECT_EQ(store.Capacity(), 32) << c.name;
    // The slots that fell free at the end hold no line.
    store.SetCount(5);
    Lines padded = c.kept;
    padded.resize(5);
    EXPECT_EQ(LinesOf(store), padded) << c.name;
  }
}

TEST(LightStrings, AddAndPutJoinTwoParts) {
  TLightStrings store;
  store.Add("head", "\x1F");
  store.Add({}, {});
  store.Put(1, "a", "b");
  EXPECT_EQ(LinesOf(store), (Lines{"head\x1F", "ab"}));
  store.Put(0, {}, {});
  EXPECT_EQ(LinesOf(store), (Lines{"", "ab"}));
}

TEST(LightStrings, InsertExchangePutAndIndexOf) {
  TLightStrings store;
  Fill(store, {"a", "c"});
  store.Insert(1, "b");
  store.Insert(3, "d");  // at Count: appends
  EXPECT_EQ(LinesOf(store), (Lines{"a", "b", "c", "d"}));
  store.Exchange(2, 2);
  store.Exchange(0, 3);
  store.Put(1, "B");
  EXPECT_EQ(LinesOf(store), (Lines{"d", "B", "c", "a"}));
  store.Add("c");
  EXPECT_EQ(store.IndexOf("c"), 2);
  EXPECT_EQ(store.IndexOf("C"), -1);
  EXPECT_EQ(store.IndexOf("b"), -1);
}

TEST(LightStrings, KeepsEveryByteOfALine) {
  TLightStrings store;
  const std::string binary("a\0b\xFF\x81", 5);
  store.Add(binary);
  store.Add("");
  EXPECT_EQ(store.Get(0), binary);
  EXPECT_EQ(store.View(0), binary);
  EXPECT_EQ(store.Get(1), "");
  EXPECT_EQ(store.IndexOf(""), 1);
}

TEST(LightStrings, RangeErrorsRaiseTheIndexErrorAndChangeNothing) {
  const std::vector<std::pair<const char*, std::function<void(TLightStrings&)>>> cases = {
      {"Get -1", [](TLightStrings& s) { s.Get(-1); }},
      {"Get Count", [](TLightStrings& s) { s.Get(2); }},
      {"View Count", [](TLightStrings& s) { s.View(2); }},
      {"Put Count", [](TLightStrings& s) { s.Put(2, "x"); }},
      {"Delete Count", [](TLightStrings& s) { s.Delete(2); }},
      {"Delete -1", [](TLightStrings& s) { s.Delete(-1); }},
      {"DeleteRange past Count", [](TLightStrings& s) { s.DeleteRange(1, 2); }},
      {"DeleteRange -1", [](TLightStrings& s) { s.DeleteRange(-1, 1); }},
      {"Exchange first out", [](TLightStrings& s) { s.Exchange(2, 0); }},
      {"Exchange second out", [](TLightStrings& s) { s.Exchange(0, 2); }},
      {"Insert Count+1", [](TLightStrings& s) { s.Insert(3, "x"); }},
      {"Insert -1", [](TLightStrings& s) { s.Insert(-1, "x"); }},
      {"SetCount -1", [](TLightStrings& s) { s.SetCount(-1); }},
      {"SetCount above max", [](TLightStrings& s) { s.SetCount(TLightStrings::MaxListSize + 1); }},
      {"SetCapacity below Count", [](TLightStrings& s) { s.SetCapacity(1); }},
      {"SetCapacity negative", [](TLightStrings& s) { s.SetCapacity(-1); }},
      {"SetCapacity above max",
       [](TLightStrings& s) { s.SetCapacity(TLightStrings::MaxListSize + 1); }},
  };
  for (const auto& [name, operation] : cases) {
    TLightStrings store;
    Fill(store, {"a", "b"});
    try {
      operation(store);
      ADD_FAILURE() << name << ": no error";
    } catch (const EListError& error) {
      EXPECT_STREQ(error.what(), "インデックスがリストの範囲を超えています") << name;
    }
    EXPECT_EQ(LinesOf(store), (Lines{"a", "b"})) << name;
    EXPECT_EQ(store.Capacity(), 32) << name;
  }
}

TEST(LightStrings, CountAndCapacity) {
  TLightStrings store;
  store.SetCount(5);
  EXPECT_EQ(LinesOf(store), Lines(5, ""));
  EXPECT_EQ(store.Capacity(), 5);
  store.Put(4, "last");
  store.SetCount(2);
  store.SetCount(5);
  EXPECT_EQ(store.Get(4), "");
  store.SetCapacity(40);
  EXPECT_EQ(store.Capacity(), 40);
  store.Clear();
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(store.Capacity(), 0);
}

TEST(LightStrings, AddStringsSetsTheCapacityToTheSum) {
  TLightStrings store;
  Fill(store, {"a"});
  store.AddStrings({"b", "c"});
  EXPECT_EQ(store.Capacity(), 3);
  EXPECT_EQ(LinesOf(store), (Lines{"a", "b", "c"}));
  store.Assign({"x"});
  Lines dest{"old", "older"};
  store.AssignTo(dest);
  EXPECT_EQ(dest, (Lines{"x"}));
}

TEST(LightStrings, TextJoinsWithCrLfAndSplitsAtAnyLineEnd) {
  TLightStrings store;
  Fill(store, {"a", "b"});
  EXPECT_EQ(store.Text(), "a\r\nb\r\n");
  store.Clear();
  EXPECT_EQ(store.Text(), "");

  const std::vector<std::pair<std::string, Lines>> cases = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"\n\r", {"", ""}},
      {"", {}},
      {"\r\n", {""}},
      {"a\rb\nc", {"a", "b", "c"}},
      {std::string("a\r\nb\0c\r\n", 8), {"a", "b"}},
      {std::string("\0a", 2), {}},
  };
  for (const auto& [text, lines] : cases) {
    store.SetText(text);
    EXPECT_EQ(LinesOf(store), lines) << testing::PrintToString(text);
    EXPECT_EQ(store.Capacity(), store.Count());
  }
}

TEST(LightStrings, CommaTextQuotesLinesWithSpacesOrCommas) {
  TLightStrings store;
  Fill(store, {"a b", "c", "d,e"});
  EXPECT_EQ(store.CommaText(), "\"a b\",c,\"d,e\"");
  store.SetCommaText(store.CommaText());
  EXPECT_EQ(LinesOf(store), (Lines{"a b", "c", "d,e"}));

  store.Clear();
  Fill(store, {"a", ""});
  EXPECT_EQ(store.CommaText(), "a,");
  store.Clear();
  Fill(store, {"say \"hi\"\r"});  // nothing but the enclosing quotes is added
  EXPECT_EQ(store.CommaText(), "\"say \"hi\"\r\"");

  const std::vector<std::pair<std::string, Lines>> cases = {
      {"a,", {"a"}},
      {"a,,b", {"a", "", "b"}},
      {"ab\"cd", {"ab", "cd"}},
      {"\"x,y\",z", {"x,y", "z"}},
      {"", {}},
  };
  for (const auto& [text, lines] : cases) {
    store.SetCommaText(text);
    EXPECT_EQ(LinesOf(store), lines) << text;
  }
}

TEST(LightStrings, LoadFromFileEndsLinesAtCrOnly) {
  TempFile file;
  const std::string longLine(8191, 'x');  // its CR LF straddles the read buffer
  const std::vector<std::pair<std::string, Lines>> cases = {
      {"a\nb\nc\n", {"a\nb\nc\n"}},
      {"a\r\nb\rc\r\n\r\n", {"a", "b", "c", ""}},
      {"a\r\nb\x1A"
       "c\r\n",
       {"a", "b"}},
      {"\x1A", {}},
      {"", {}},
      {"tail", {"tail"}},
      {longLine + "\r\nnext", {longLine, "next"}},
      {std::string(20000, 'y'), {std::string(20000, 'y')}},
  };
  TLightStrings store;
  for (const auto& [bytes, lines] : cases) {
    file.Write(bytes);
    store.LoadFromFile(file.Path());
    EXPECT_EQ(LinesOf(store), lines) << testing::PrintToString(bytes.substr(0, 20));
    EXPECT_EQ(store.Capacity(), store.Count());
  }
}

TEST(LightStrings, SaveToFileEndsEveryLineWithCrLf) {
  TempFile file;
  TLightStrings store;
  Fill(store, {"a", "", "\x82\xA0"});
  store.SaveToFile(file.Path());
  EXPECT_EQ(file.Read(), "a\r\n\r\n\x82\xA0\r\n");
  TLightStrings loaded;
  loaded.LoadFromFile(file.Path());
  EXPECT_EQ(LinesOf(loaded), LinesOf(store));
}

TEST(LightStrings, FileErrorsRaiseTheSystemsText) {
  TLightStrings store;
  Fill(store, {"kept"});
  const std::string missing = "/nonexistent-folder/none.txt";
  try {
    store.SaveToFile(missing);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_STREQ(error.what(), "No such file or directory");
  }
  EXPECT_THROW(store.LoadFromFile(missing), EInOutError);
  EXPECT_THROW(store.LoadFromFile(std::filesystem::temp_directory_path().string()), EInOutError);
  EXPECT_EQ(store.Count(), 0);
}

TEST(LightStrings, StreamsReadFromThePositionAndWriteText) {
  std::istringstream in("skip|a\r\nb");
  in.seekg(5);
  TLightStrings store;
  store.LoadFromStream(in);
  EXPECT_EQ(LinesOf(store), (Lines{"a", "b"}));
  EXPECT_EQ(in.peek(), std::char_traits<char>::eof());

  std::ostringstream out("head", std::ios::ate);
  store.SaveToStream(out);
  EXPECT_EQ(out.str(), "heada\r\nb\r\n");
}

}  // namespace
