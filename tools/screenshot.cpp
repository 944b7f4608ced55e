// Saves a picture of the main window: screenshot OUTPUT.png [ARGS...]
// ARGS are the program's own. Without them the picture shows the window as
// it opens; with a telnet address it is taken once the host has answered;
// with --demo PORT the window chats with the demo host, says hello, lists
// the participants and opens the history view before the picture is taken.
// Run it through tools/screenshot.sh, which gives it a fresh data folder and
// settings store under a virtual X server.
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "session/CommandLine.h"
#include "session/WombatForm.h"
#include "text/Codec.h"
#include "view/Fonts.h"

namespace {

constexpr int kEmptyWindowMs = 1000;
constexpr int kAnsweredMs = 4000;
constexpr int kDemoPictureMs = 11000;

// The demo session's steps, at their times after the connection.
void PlayDemoSession(TWombatForm& form) {
  QTimer::singleShot(3500, &form, [&form] { form.SendToHost(Sjis("こんにちは！ 初めて来ました。\r")); });
  QTimer::singleShot(4500, &form, [&form] { form.SendToHost("/W\r"); });
  QTimer::singleShot(10000, &form, [&form] {
    if (auto* scrollUp = form.findChild<QAction*>("ScrollUp1")) scrollUp->trigger();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [ARGS...]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  RegisterFontSubstitutions();
  const QString output = QString::fromLocal8Bit(argv[1]);
  const TCommandLine line = ParseCommandLine(QApplication::arguments().mid(2));
  TWombatForm form(line.Address);
  form.resize(line.DemoPort ? 640 : 530, 551);
  form.show();
  int pictureMs = line.Address.isEmpty() ? kEmptyWindowMs : kAnsweredMs;
  if (line.DemoPort) {
    form.ConnectDemo(*line.DemoPort);
    PlayDemoSession(form);
    pictureMs = kDemoPictureMs;
  }
  // Leaves the event loop without closing the window, which would ask
  // whether to hang up a connection.
  QTimer::singleShot(pictureMs, &app, [&] { QApplication::exit(form.grab().save(output) ? 0 : 1); });
  return QApplication::exec();
}
