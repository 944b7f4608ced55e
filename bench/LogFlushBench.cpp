// The log of a 10 MB received stream, cut into 1,024-byte blocks as the
// socket delivers them and into lines as the receive road does: every line
// goes to the log manager, without a flush, with one after every block (a
// trickle: each block is a batch of its own) or with one after every 64
// blocks (a flood: the receive road takes up to 64 KiB in one batch).
// Throughput is in received bytes; compare the three, and the flush's cost
// per batch with the view's (ViewBench).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "text/Codec.h"
#include "text/LineAssembler.h"
#include "text/LogMgr.h"

namespace {

constexpr size_t kCorpusBytes = 10 << 20;
constexpr size_t kBlockBytes = 1024;

// Chat-like lines of varying length with CR LF ends.
std::string Corpus() {
  const std::string say =
      Sjis("(12,たろう) こんにちは、会議の資料は http://www.example.co.jp/ にあります");
  std::string corpus;
  for (size_t i = 0; corpus.size() < kCorpusBytes; ++i)
    corpus.append(say, 0, 20 + (i * 37) % (say.size() - 20)).append("\r\n");
  return corpus;
}

// The complete lines of each block, as the receive road hands them on.
std::vector<std::vector<std::string>> LinesPerBlock(const std::string& stream) {
  std::vector<std::vector<std::string>> blocks;
  std::string buffer;
  for (size_t pos = 0; pos < stream.size(); pos += kBlockBytes) {
    AppendBlock(buffer, std::string_view(stream).substr(pos, kBlockBytes));
    std::vector<std::string>& lines = blocks.emplace_back();
    while (!HasNoLine(buffer)) TakeLine(buffer, lines.emplace_back());
  }
  return blocks;
}

// blocksPerFlush 0: no flush at all.
void LogBlocks(benchmark::State& state, size_t blocksPerFlush) {
  const std::string corpus = Corpus();
  const auto blocks = LinesPerBlock(corpus);
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("wombat-logbench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  TLogMgr log;
  log.SetFolder(folder);
  for (auto _ : state) {
    std::filesystem::remove(folder / "bench.log");
    log.Open("bench.log");
    for (size_t i = 0; i < blocks.size(); ++i) {
      for (const std::string& line : blocks[i]) log.WriteLine(line);
      if (blocksPerFlush > 0 && (i + 1) % blocksPerFlush == 0) log.Flush();
    }
    log.Close();
  }
  std::filesystem::remove_all(folder);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(corpus.size()));
  state.counters["blocks"] = static_cast<double>(blocks.size());
}

void BM_LogWithoutFlush(benchmark::State& state) {
  LogBlocks(state, 0);
}
BENCHMARK(BM_LogWithoutFlush)->Unit(benchmark::kMillisecond);

void BM_LogFlushEveryBlock(benchmark::State& state) {
  LogBlocks(state, 1);
}
BENCHMARK(BM_LogFlushEveryBlock)->Unit(benchmark::kMillisecond);

void BM_LogFlushEvery64Blocks(benchmark::State& state) {
  LogBlocks(state, 64);
}
BENCHMARK(BM_LogFlushEvery64Blocks)->Unit(benchmark::kMillisecond);

}  // namespace
