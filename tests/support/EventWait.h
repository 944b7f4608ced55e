// Runs the event loop until a condition holds or a time limit passes.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// True when Done() held within TimeoutMs milliseconds; events are processed meanwhile.
inline bool WaitUntil(const std::function<bool()>& Done, int TimeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
  tick.start();
  while (!Done()) {
    if (clock.hasExpired(TimeoutMs)) return false;
    loop.exec();
  }
  return true;
}

// Processes events for Ms milliseconds, for checks that something does not happen.
inline void RunEventsFor(int Ms) {
  WaitUntil([] { return false; }, Ms);
}
