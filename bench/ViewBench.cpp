// The terminal view fed the way the receive road feeds it: a mixed chat
// stream cut into 1,024-byte blocks; per block the complete lines as one
// batch (AddLines) and the rest as the partial line (ShowPartialLine). The
// view is set up as the main window's terminal view (100 lines, 80 columns,
// links and handles coloured) and shown at 640 by 400 on the offscreen
// platform. Throughput is in received bytes.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdint>
#include <string>
#include <vector>

#include "ChatCorpus.h"
#include "text/LineAssembler.h"
#include "view/Fonts.h"
#include "view/QuokkaView.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "ViewBench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* created = new QApplication(argc, argv);
    RegisterFontSubstitutions();
    return created;
  }();
  return *app;
}

// What the receive road hands the view for one block.
struct TBlock {
  std::vector<std::string> Batch;
  std::string Rest;
};

std::vector<TBlock> Blocks(const std::string& stream) {
  std::vector<TBlock> blocks;
  std::string buffer;
  for (size_t pos = 0; pos < stream.size(); pos += 1024) {
    TBlock block;
    AppendBlock(buffer, std::string_view(stream).substr(pos, 1024));
    while (!HasNoLine(buffer)) {
      std::string line;
      TakeLine(buffer, line);
      block.Batch.push_back(std::move(line));
    }
    PendingText(buffer, block.Rest);
    blocks.push_back(std::move(block));
  }
  return blocks;
}

// The main window's terminal view.
void SetUpTerminalView(TQuokkaView& view) {
  view.setFont(DefaultTerminalFont());
  view.SetMaxLineCount(100);
  view.SetMaxChar(151);
  view.SetAutoScroll(true);
  view.SetAddressColor(Qt::blue);
  view.SetMailAddressColor(Qt::darkGreen);
  view.SetPageColor(Qt::darkMagenta);
  view.SetUserColor(Qt::darkGreen);
  view.SetHandleColor(Qt::red);
  view.SetScrollBar(ssVertical);
  view.SetVSpace(1);
  view.SetEightyColumns(true);
  view.SetCaret(true);
  view.SetNormalMode(false);
  view.SetIgnoreMotion(false);
  view.SetMotionInterval(300);
  view.AccentWords().Add("ABC");
  view.resize(640, 400);
  view.show();
  QApplication::processEvents();
}

// Feeds the corpus; the event loop turns after every `blocksPerTurn` blocks,
// as it does between the socket's read bursts.
void FeedView(benchmark::State& state, int blocksPerTurn) {
  App();
  const std::string corpus = ChatCorpus(1 << 20);
  const std::vector<TBlock> blocks = Blocks(corpus);
  TQuokkaView view;
  SetUpTerminalView(view);
  for (auto _ : state) {
    int count = 0;
    for (const TBlock& block : blocks) {
      if (!block.Batch.empty()) view.AddLines(block.Batch);
      if (!block.Rest.empty()) view.ShowPartialLine(block.Rest);
      if (++count % blocksPerTurn == 0) QApplication::processEvents();
    }
    QApplication::processEvents();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(corpus.size()));
}

// 64 blocks (64 KB) per event loop turn: a fast host filling the socket.
void BM_ReceiveBursts(benchmark::State& state) {
  FeedView(state, 64);
}
BENCHMARK(BM_ReceiveBursts)->Unit(benchmark::kMillisecond);

// One block per turn: every block reaches the screen.
void BM_ReceiveEveryBlockPainted(benchmark::State& state) {
  FeedView(state, 1);
}
BENCHMARK(BM_ReceiveEveryBlockPainted)->Unit(benchmark::kMillisecond);

// A host that sends a line without CR: a 64 KiB line arrives in 1,024-byte
// blocks, each shown as the growing partial line, until its end completes
// it. Throughput is in received bytes.
void BM_GrowingPartialLine(benchmark::State& state) {
  App();
  std::string line = ChatCorpus(64 * 1024);
  std::erase(line, '\r');
  std::erase(line, '\n');
  line.resize(64 * 1024);
  TQuokkaView view;
  SetUpTerminalView(view);
  for (auto _ : state) {
    for (size_t end = 1024; end <= line.size(); end += 1024)
      view.ShowPartialLine(std::string_view(line).substr(0, end));
    view.AddLines({line});
    QApplication::processEvents();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_GrowingPartialLine)->Unit(benchmark::kMillisecond);

// One AddLines of a single line of state.range(0) bytes, folded at 80
// columns into the history view's store.
void BM_OneLongLine(benchmark::State& state) {
  App();
  std::string line = ChatCorpus(static_cast<size_t>(state.range(0)));
  std::erase(line, '\r');
  std::erase(line, '\n');
  TQuokkaView view;
  SetUpTerminalView(view);
  view.SetMaxLineCount(0);
  for (auto _ : state) {
    view.Clear();
    view.AddLines({line});
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_OneLongLine)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
