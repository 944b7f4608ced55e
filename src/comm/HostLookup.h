// Host name lookups that never make the caller wait: the answer comes later, on the
// caller's thread, and a lookup given up is simply forgotten, however long the name
// server takes.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// One lookup under way. Destroying it gives the lookup up: its answer is never delivered.
class THostLookup {
 public:
  virtual ~THostLookup() = default;
};

// What a lookup gives: a Winsock code (0 on success; 11001 host not found, 11002 the name
// server failed or did not answer in time, 11003 a lasting failure, 11004 a name without
// addresses) and the addresses in the order the system prefers them.
struct THostAnswer {
  int Error = 0;
  QList<QHostAddress> Addresses;
};

class THostResolver {
 public:
  using TAnswered = std::function<void(const THostAnswer& Answer)>;

  virtual ~THostResolver() = default;
  // Starts looking Name up. Answered runs once, later, from the event loop of Context's
  // thread, unless the returned lookup has been destroyed by then; it may destroy the
  // lookup. The lookup must not outlive Context.
  virtual std::unique_ptr<THostLookup> Lookup(const QString& Name, QObject* Context,
                                              TAnswered Answered) = 0;

  // The resolver that new connections use: the system's (getaddrinfo on a thread of its
  // own for each lookup), or the one given to SetDefault; SetDefault(nullptr) restores
  // the system's. Tests replace it, for instance with one that never answers.
  static std::shared_ptr<THostResolver> Default();
  static void SetDefault(std::shared_ptr<THostResolver> Resolver);
};
