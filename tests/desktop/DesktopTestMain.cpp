// Test main for what only an X display has, such as the primary selection: a
// private Xvfb server when the machine has one, else the offscreen platform,
// on which those tests skip with a message.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cstring>
#include <string>

namespace {

bool ListsTests(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0) return true;
  return false;
}

// Starts Xvfb on a free display, which it writes to a pipe once it is ready.
// Returns its process id, or 0 when it cannot be started.
pid_t StartXvfb() {
  int ready[2];
  if (pipe(ready) != 0) return 0;
  const pid_t server = fork();
  if (server == 0) {
    close(ready[0]);
    // The server ends with the tests, also when they crash.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    const std::string fd = std::to_string(ready[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
           "1280x800x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  std::string display;
  char c;
  while (server > 0 && read(ready[0], &c, 1) == 1 && c != '\n') display += c;
  close(ready[0]);
  if (server <= 0) return 0;
  if (display.empty()) {
    waitpid(server, nullptr, 0);
    return 0;
  }
  setenv("DISPLAY", (":" + display).c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  return server;
}

}  // namespace

int main(int argc, char** argv) {
  const pid_t xvfb = ListsTests(argc, argv) ? 0 : StartXvfb();
  if (xvfb == 0) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int result;
  {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    result = RUN_ALL_TESTS();
  }
  if (xvfb > 0) {
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
  }
  return result;
}
