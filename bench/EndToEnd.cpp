// End to end: a host on loopback floods a real main window (offscreen, both
// views and the log) through telnet. Two hosts: a chat host (a 10 MB chat
// corpus, CR LF) and a broken host that sends 50 MB without any CR. The chat
// host runs again with a linked sibling that answers every line at once, so
// that the cost of handing the lines to a sibling shows beside the plain run.
//
// For each host:
//   - throughput: the host sends its bytes and closes; MB/s from the host's
//     first byte to the window's end of the connection (the last line
//     logged and the log closed);
//   - worst key delay: a key press is posted to the input line every 20 ms
//     while the host sends, and again during a 10 s endless flood; the delay
//     is the time from posting to the input line's handling;
//   - disconnect time: after the 10 s flood the user disconnects (the
//     question answered Yes); the time until the window is idle;
//   - peak memory: the process's peak resident set (VmHWM), reset before
//     each host.
//
// Usage: EndToEnd [--chat | --no-cr]   (both hosts when no option is given)

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLocalSocket>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "ChatCorpus.h"
#include "access/AccessPoint.h"
#include "comm/SiblingLink.h"
#include "session/WombatForm.h"
#include "support/EventWait.h"
#include "support/ScriptedUi.h"
#include "support/TempHome.h"
#include "text/QtCodec.h"
#include "view/Fonts.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr size_t kChatBytes = 10 << 20;
constexpr size_t kNoCrBytes = 50 << 20;
constexpr size_t kChunkBytes = 1 << 20;  // the host repeats this much text
constexpr int kFloodMs = 10'000;
constexpr int kKeyIntervalMs = 20;
constexpr int kFinishTimeoutMs = 600'000;

double MsSince(TClock::time_point start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

// Peak resident set in MB since the last reset.
double PeakMemoryMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// Printable bytes with no CR or LF.
std::string NoCrText(size_t bytes) {
  std::string text;
  text.reserve(bytes);
  for (size_t i = 0; i < bytes; ++i) text += static_cast<char>('!' + (i * 7) % 90);
  return text;
}

// A host on a loopback port, on its own thread: sends its chunk over and over,
// until Total bytes have left (then it closes) or, with no total, until the
// peer closes.
class THost {
 public:
  static constexpr size_t kEndless = 0;

  THost(const std::string& chunk, size_t total) : FChunk(chunk), FTotal(total) {
    FListener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(FListener, 1);
    socklen_t length = sizeof address;
    getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Serve(); });
  }
  ~THost() {
    shutdown(FListener, SHUT_RDWR);
    FThread.join();
    close(FListener);
  }
  quint16 Port() const { return FPort; }
  TClock::time_point FirstByte() const { return TClock::time_point(TClock::duration(FFirstByte)); }

 private:
  void Serve() {
    const int peer = accept(FListener, nullptr, nullptr);
    if (peer < 0) return;
    FFirstByte = TClock::now().time_since_epoch().count();
    for (size_t sent = 0; FTotal == kEndless || sent < FTotal; sent += FChunk.size())
      if (!SendChunk(peer)) break;
    close(peer);
  }
  bool SendChunk(int peer) {
    for (size_t sent = 0; sent < FChunk.size();) {
      const ssize_t n = send(peer, FChunk.data() + sent, FChunk.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  const std::string& FChunk;
  const size_t FTotal;
  int FListener = -1;
  quint16 FPort = 0;
  std::thread FThread;
  std::atomic<TClock::rep> FFirstByte = 0;
};

// Posts a key press to the input line every 20 ms and records the worst
// delay until the input line handles it.
class TKeyProbe : public QObject {
 public:
  explicit TKeyProbe(QLineEdit* input) : FInput(input) {
    input->installEventFilter(this);
    connect(&FTimer, &QTimer::timeout, this, [this] { Post(); });
  }
  void Start() { FTimer.start(kKeyIntervalMs); }
  void Stop() { FTimer.stop(); }
  double WorstMs() const { return FWorstMs; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && !FPosted.empty()) {
      FWorstMs = std::max(FWorstMs, MsSince(FPosted.front()));
      FPosted.erase(FPosted.begin());
    }
    return false;
  }

 private:
  void Post() {
    FPosted.push_back(TClock::now());
    QCoreApplication::postEvent(FInput,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
  }
  QLineEdit* FInput;
  QTimer FTimer;
  std::vector<TClock::time_point> FPosted;
  double FWorstMs = 0;
};

// A sibling that links to the window and answers every line at once. It
// shares the window's event loop, so its own work counts in the figures.
class TAnsweringSibling {
 public:
  TAnsweringSibling() {
    auto* socket = new QLocalSocket;
    socket->connectToServer(QSettings("Zeb", "Wombat").value("Directory/LinkServer").toString());
    FLink = std::make_unique<TSiblingLink>(socket);
    FLink->OnRequest = [](TSiblingLink& link, const TSiblingFrame& frame) {
      link.Reply(frame.Message, 0);
    };
    FLink->OnReply = [this](TSiblingLink&, uint32_t, uint64_t) { FLinked = true; };
    FLink->Request(kLinkMessage, static_cast<uint32_t>(getpid()));
    WaitUntil([this] { return FLinked; });
  }

 private:
  static constexpr uint32_t kLinkMessage = 0x404;
  std::unique_ptr<TSiblingLink> FLink;
  bool FLinked = false;
};

struct TFigures {
  double MBPerSecond = 0;
  double WorstKeyMs = 0;
  double DisconnectMs = 0;
  double PeakMB = 0;
};

class TBench {
 public:
  TBench() {
    TAPData entry;
    entry.HostName = "127.0.0.1";
    entry.LogName = "Bench";
    FEntry = entry;
  }

  // The host sends its chunk until Total bytes have left.
  // With linked, a sibling follows the first run's lines.
  TFigures Run(const std::string& chunk, size_t total, bool linked = false) {
    ResetPeakMemory();
    TFigures figures;
    {
      THost host(chunk, total);
      auto form = Connect(host.Port(), linked);
      TKeyProbe keys(Input(*form));
      keys.Start();
      WaitUntil([&] { return Idle(*form); }, kFinishTimeoutMs);
      const double ms = MsSince(host.FirstByte());
      figures.MBPerSecond = static_cast<double>(total) / 1048576.0 / (ms / 1000.0);
      keys.Stop();
      figures.WorstKeyMs = keys.WorstMs();
    }
    {
      THost host(chunk, THost::kEndless);
      auto form = Connect(host.Port());
      TKeyProbe keys(Input(*form));
      keys.Start();
      RunEventsFor(kFloodMs);
      keys.Stop();
      figures.WorstKeyMs = std::max(figures.WorstKeyMs, keys.WorstMs());
      const TClock::time_point asked = TClock::now();
      QMetaObject::invokeMethod(form->findChild<QPushButton*>("Disconnect1"), "click",
                                Qt::QueuedConnection);
      WaitUntil([&] { return Idle(*form); }, kFinishTimeoutMs);
      figures.DisconnectMs = MsSince(asked);
    }
    figures.PeakMB = PeakMemoryMB();
    return figures;
  }

 private:
  std::unique_ptr<TWombatForm> Connect(quint16 port, bool linked = false) {
    FSibling.reset();
    FEntry.Port = std::to_string(port);
    TAccessPoint accessPoint;
    accessPoint.SetFolder(FromQString(FHome.DataFolder()));
    accessPoint.Save("Bench", FEntry);
    QSettings("Zeb", "Wombat").setValue("AccessList/Default", "Bench");
    auto form = std::make_unique<TWombatForm>();
    form->Pauses = {0, 0, 0};
    form->resize(800, 600);
    form->show();
    if (linked) FSibling = std::make_unique<TAnsweringSibling>();
    form->findChild<QPushButton*>("Connect1")->click();
    WaitUntil([&] { return form->ConnectKind() == TWombatForm::kTelnet && !form->Paused(); });
    return form;
  }
  static bool Idle(TWombatForm& form) {
    return form.findChild<QPushButton*>("Connect1")->isEnabled();
  }
  static QLineEdit* Input(TWombatForm& form) {
    return form.findChild<QComboBox*>("InputEdit")->lineEdit();
  }

  TTempHome FHome;
  TScriptedUi FUi;
  TAPData FEntry;
  std::unique_ptr<TAnsweringSibling> FSibling;
};

void Report(const char* host, const TFigures& f) {
  std::printf("%-34s %8.1f MB/s   peak %6.1f MB   worst key %6.1f ms   disconnect %6.1f ms\n",
              host, f.MBPerSecond, f.PeakMB, f.WorstKeyMs, f.DisconnectMs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterFontSubstitutions();
  const std::string option = argc > 1 ? argv[1] : "";
  std::printf("EndToEnd (goals: >= 20 MB/s, peak < 150 MB, worst key < 100 ms, disconnect < 1000 ms)\n");
  TBench bench;
  if (option != "--no-cr") {
    const std::string corpus = ChatCorpus(kChunkBytes);
    const size_t total = kChatBytes / corpus.size() * corpus.size();
    Report("chat host, 10 MB CP932 corpus", bench.Run(corpus, total));
    Report("the same with a linked sibling", bench.Run(corpus, total, true));
  }
  if (option != "--chat")
    Report("broken host, 50 MB without CR", bench.Run(NoCrText(kChunkBytes), kNoCrBytes));
  return 0;
}
