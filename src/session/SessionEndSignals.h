#pragma once
// SIGTERM and SIGHUP end the desktop session's programs. From the moment
// they are installed (the first line of main) the signals are only noted:
// the handler writes into a socket pair that the window reads on the main
// thread, so that a signal at any time closes the window through its normal
// path.

// Installs the handlers once per process; false when the socket pair cannot
// be made (the signals then keep their default action).
bool InstallSessionEndSignals();
// The end to watch for readability; -1 when the handlers are not installed.
int SessionEndSignalDescriptor();
// Takes every noted signal; true when at least one had arrived.
bool TakeSessionEndSignals();
