// The line store beside a vector of strings, and the line analysis.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <type_traits>
#include <vector>

#include "text/Analysis.h"
#include "text/Codec.h"
#include "text/LightStrings.h"

namespace {

constexpr int kManyLines = 1'000'000;
constexpr int kViewLines = 5'000;

std::string Line40(int i) {
  std::string line = "(TALK,handle)line " + std::to_string(i);
  line.resize(40, '.');
  return line;
}

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// --- Store: Add -------------------------------------------------------------

// Fills a fresh container with a million 40-byte lines per iteration and
// reports the heap it holds per line.
template <class Container, class Add>
void FillMany(benchmark::State& state, Add add) {
  const std::string line = Line40(0);
  size_t bytes = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    Container lines;
    for (int i = 0; i < kManyLines; ++i) add(lines, line);
    bytes = HeapInUse() - before;
    benchmark::DoNotOptimize(&lines);
  }
  state.SetItemsProcessed(state.iterations() * kManyLines);
  state.counters["bytes_per_line"] = double(bytes) / kManyLines;
}

void BM_StoreAdd(benchmark::State& state) {
  FillMany<TLightStrings>(state, [](TLightStrings& s, const std::string& l) { s.Add(l); });
}
BENCHMARK(BM_StoreAdd)->Unit(benchmark::kMillisecond);

void BM_VectorAdd(benchmark::State& state) {
  FillMany<std::vector<std::string>>(
      state, [](std::vector<std::string>& v, const std::string& l) { v.push_back(l); });
}
BENCHMARK(BM_VectorAdd)->Unit(benchmark::kMillisecond);

// --- Store: Get -------------------------------------------------------------

// Reads every line of a million-line container once per iteration.
template <class Container, class Read>
void ReadAll(benchmark::State& state, Container& lines, Read read) {
  for (int i = 0; i < kManyLines; ++i) {
    if constexpr (std::is_same_v<Container, TLightStrings>) {
      lines.Add(Line40(i));
    } else {
      lines.push_back(Line40(i));
    }
  }
  for (auto _ : state) {
    for (int i = 0; i < kManyLines; ++i) benchmark::DoNotOptimize(read(lines, i));
  }
  state.SetItemsProcessed(state.iterations() * kManyLines);
}

void BM_StoreGet(benchmark::State& state) {
  TLightStrings store;
  ReadAll(state, store, [](const TLightStrings& s, int i) { return s.Get(i); });
}
BENCHMARK(BM_StoreGet)->Unit(benchmark::kMillisecond);

// The copy-free read that a view uses while drawing.
void BM_StoreView(benchmark::State& state) {
  TLightStrings store;
  ReadAll(state, store, [](const TLightStrings& s, int i) { return s.View(i); });
}
BENCHMARK(BM_StoreView)->Unit(benchmark::kMillisecond);

void BM_VectorGet(benchmark::State& state) {
  std::vector<std::string> lines;
  ReadAll(state, lines, [](const std::vector<std::string>& v, int i) { return std::string(v[i]); });
}
BENCHMARK(BM_VectorGet)->Unit(benchmark::kMillisecond);

// --- Store: a full view's Delete(0) per new line ----------------------------

void BM_StoreDeleteFirst(benchmark::State& state) {
  const std::string line = Line40(0);
  TLightStrings store;
  for (int i = 0; i < kViewLines; ++i) store.Add(line);
  for (auto _ : state) {
    store.Delete(0);
    store.Add(line);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreDeleteFirst);

void BM_VectorDeleteFirst(benchmark::State& state) {
  const std::string line = Line40(0);
  std::vector<std::string> lines(kViewLines, line);
  for (auto _ : state) {
    lines.erase(lines.begin());
    lines.push_back(line);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VectorDeleteFirst);

// --- Analysis ---------------------------------------------------------------

// Conference lines, participant rows, page notices and plain lines, 40-80 bytes.
std::vector<std::string> MixedCorpus() {
  const std::vector<std::string> samples = {
      "(TALK,ABC12345," + Sjis("ウォンバット") + ")" + Sjis("こんにちは、今日は良い天気ですね"),
      "(12," + Sjis("かものはし") + ")" + Sjis("そろそろ落ちます。また明日お会いしましょう"),
      "(3,XYZ00042,quokka)I will be back in ten minutes, see you all!",
      "  12 TALK  ABC12345 " + Sjis("ウォンバット") + "            " + Sjis("よろしく"),
      "   3 7S    XYZ00042 quokka                  busy",
      "  XYZ00042  " + Sjis("のユーザーからのメッセージです－") + "  ",
      "  >JOB      12             XYZ00042 " + Sjis("呼び出し中です"),
      Sjis("本日のメンテナンスは午前３時から午前５時までの予定です。ご注意ください。"),
      "Connection to the conference server has been established at 12:34.",
      Sjis("ﾃﾞｰﾀﾍﾞｰｽを更新しました。ＦＯＲＵＭの新着メッセージは２５件です。"),
  };
  std::vector<std::string> corpus;
  for (int i = 0; i < 100; ++i) {
    for (const std::string& line : samples) corpus.push_back(line);
  }
  return corpus;
}

void BM_Analyze(benchmark::State& state) {
  const std::vector<std::string> corpus = MixedCorpus();
  TAnalysis analysis;
  for (auto _ : state) {
    for (const std::string& line : corpus) benchmark::DoNotOptimize(analysis.Analyze(line));
  }
  state.SetItemsProcessed(state.iterations() * corpus.size());
}
BENCHMARK(BM_Analyze);

void BM_NormalizeText(benchmark::State& state) {
  const std::vector<std::string> corpus = MixedCorpus();
  size_t bytes = 0;
  for (const std::string& line : corpus) bytes += line.size();
  for (auto _ : state) {
    for (const std::string& line : corpus) benchmark::DoNotOptimize(NormalizeText(line));
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_NormalizeText);

}  // namespace
