#include "comm/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <QUrl>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace {

constexpr int kWsaHostNotFound = 11001;
constexpr int kWsaTryAgain = 11002;
constexpr int kWsaNoRecovery = 11003;
constexpr int kWsaNoData = 11004;

int LookupCode(int gaiError) {
  switch (gaiError) {
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return kWsaHostNotFound;
    case EAI_FAIL:
      return kWsaNoRecovery;
    default:
      return kWsaTryAgain;
  }
}

// Blocks for as long as the name server takes: run only on a thread of its own.
THostAnswer ResolveNow(const std::string& name) {
  if (name.empty()) return {kWsaHostNotFound, {}};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (const int error = getaddrinfo(name.c_str(), nullptr, &hints, &list); error != 0)
    return {LookupCode(error), {}};
  THostAnswer answer;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    const QHostAddress address(entry->ai_addr);
    if (!address.isNull() && !answer.Addresses.contains(address)) answer.Addresses.append(address);
  }
  freeaddrinfo(list);
  if (answer.Addresses.isEmpty()) answer.Error = kWsaNoData;
  return answer;
}

// What a lookup's thread shares with the lookup: the way back to the caller, cut when the
// lookup is given up. The thread keeps it alive for as long as it runs.
struct TLookupShare {
  std::mutex Mutex;
  QObject* Context = nullptr;
  THostResolver::TAnswered Answered;

  // On the context's thread. The answer may give the lookup up; nothing here belongs to it.
  void Deliver(const THostAnswer& answer) {
    THostResolver::TAnswered answered;
    {
      std::lock_guard lock(Mutex);
      answered = std::exchange(Answered, nullptr);
    }
    if (answered) answered(answer);
  }

  // From any thread: posts the answer unless the lookup has been given up.
  void Post(const std::shared_ptr<TLookupShare>& self, const THostAnswer& answer) {
    std::lock_guard lock(Mutex);
    if (Context == nullptr) return;
    QMetaObject::invokeMethod(
        Context, [self, answer] { self->Deliver(answer); }, Qt::QueuedConnection);
  }
};

// getaddrinfo on a detached thread: a name server that never answers keeps only that
// thread waiting, never the caller, the program's exit or a later lookup.
class TThreadLookup final : public THostLookup {
 public:
  TThreadLookup(const QString& name, QObject* context, THostResolver::TAnswered answered)
      : FShare(std::make_shared<TLookupShare>()) {
    FShare->Context = context;
    FShare->Answered = std::move(answered);
    std::string ace = QUrl::toAce(name).toStdString();
    try {
      std::thread([share = FShare, ace = std::move(ace)] {
        share->Post(share, ResolveNow(ace));
      }).detach();
    } catch (const std::system_error&) {
      FShare->Post(FShare, {kWsaTryAgain, {}});
    }
  }

  ~TThreadLookup() override {
    std::lock_guard lock(FShare->Mutex);
    FShare->Context = nullptr;
    FShare->Answered = nullptr;
  }

 private:
  std::shared_ptr<TLookupShare> FShare;
};

class TSystemResolver final : public THostResolver {
 public:
  std::unique_ptr<THostLookup> Lookup(const QString& Name, QObject* Context,
                                      TAnswered Answered) override {
    return std::make_unique<TThreadLookup>(Name, Context, std::move(Answered));
  }
};

std::shared_ptr<THostResolver>& DefaultSlot() {
  static std::shared_ptr<THostResolver> resolver;
  return resolver;
}

}  // namespace

std::shared_ptr<THostResolver> THostResolver::Default() {
  std::shared_ptr<THostResolver>& resolver = DefaultSlot();
  if (!resolver) resolver = std::make_shared<TSystemResolver>();
  return resolver;
}

void THostResolver::SetDefault(std::shared_ptr<THostResolver> Resolver) {
  DefaultSlot() = std::move(Resolver);
}
