#include "comm/Transport.h"

#include <exception>
#include <utility>

void TTransport::RunShowingErrors(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& error) {
    if (OnMessage) OnMessage(QString::fromUtf8(error.what()));
  }
}

void TQueuedTransport::Hold(bool held) {
  FHeld = held;
  // Delivered from the event loop: the caller may be in the middle of its own work.
  if (!held) QMetaObject::invokeMethod(this, [this] { Deliver(); }, Qt::QueuedConnection);
}

std::string TQueuedTransport::TakeBlock() {
  if (FEvents.empty() || !std::holds_alternative<std::string>(FEvents.front())) return {};
  std::string block = std::move(std::get<std::string>(FEvents.front()));
  FEvents.pop_front();
  ++FTaken;
  return block;
}

bool TQueuedTransport::Pending() const {
  return !FEvents.empty();
}

void TQueuedTransport::RaiseUp() {
  Add(TUp{});
}

void TQueuedTransport::RaiseBlock(std::string block) {
  if (!block.empty()) Add(std::move(block));
}

void TQueuedTransport::RaiseDown(TDown down) {
  Add(std::move(down));
}

void TQueuedTransport::RaiseNotice(const QString& text) {
  Add(TNotice{text});
}

void TQueuedTransport::Add(TEvent event) {
  FEvents.push_back(std::move(event));
  Deliver();
}

// An event that comes while one is handled joins the queue behind it. Blocks
// are offered until the owner takes no more of them.
void TQueuedTransport::Deliver() {
  if (FDelivering) return;
  FDelivering = true;
  while (!FHeld && !FEvents.empty()) {
    if (std::holds_alternative<std::string>(FEvents.front())) {
      const std::size_t taken = FTaken;
      if (OnReceived) OnReceived();
      if (FTaken == taken) break;
      continue;
    }
    const TEvent event = std::move(FEvents.front());
    FEvents.pop_front();
    Raise(event);
  }
  FDelivering = false;
}

void TQueuedTransport::Raise(const TEvent& event) {
  if (std::holds_alternative<TUp>(event)) {
    if (OnUp) OnUp();
  } else if (const auto* down = std::get_if<TDown>(&event)) {
    if (OnDown) OnDown(*down);
  } else if (const auto* notice = std::get_if<TNotice>(&event)) {
    if (OnNotice) OnNotice(notice->Text);
  }
}
