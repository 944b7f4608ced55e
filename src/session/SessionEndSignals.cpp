#include "session/SessionEndSignals.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler writes into [0]; the window reads [1].
int gSessionEndPair[2] = {-1, -1};

void NoteSessionEnd(int number) {
  const char byte = static_cast<char>(number);
  [[maybe_unused]] const ssize_t written = write(gSessionEndPair[0], &byte, 1);
}

}  // namespace

bool InstallSessionEndSignals() {
  if (gSessionEndPair[1] >= 0) return true;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSessionEndPair) != 0)
    return false;
  struct sigaction action = {};
  action.sa_handler = NoteSessionEnd;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  return true;
}

int SessionEndSignalDescriptor() {
  return gSessionEndPair[1];
}

bool TakeSessionEndSignals() {
  if (gSessionEndPair[1] < 0) return false;
  bool taken = false;
  char bytes[16];
  while (read(gSessionEndPair[1], bytes, sizeof bytes) > 0) taken = true;
  return taken;
}
