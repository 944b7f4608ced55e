#pragma once
// Runs a program to its end for a test, with its output kept apart.

#include <QProcess>
#include <QString>
#include <QStringList>

struct TProgramRun {
  int ExitCode = -1;  // -1: did not end in time, or crashed
  QString Output;
  QString Error;
};

// Without a display: DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset.
inline QProcessEnvironment EnvironmentWithoutDisplay() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(name);
  return environment;
}

inline TProgramRun RunProgram(const QString& program, const QStringList& arguments,
                              int waitMs = 120000,
                              const QProcessEnvironment& environment =
                                  QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  TProgramRun run;
  if (!process.waitForFinished(waitMs)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Output = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.Error = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}
