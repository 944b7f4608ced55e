#pragma once
// The default connect and disconnect sounds: two short chimes that the
// program writes into its data folder when they are missing.

#include <QString>

inline const char* const kConnectSoundName = "Connect.wav";
inline const char* const kDisconnectSoundName = "Discon.wav";

// Writes the files that are missing; a folder that cannot be written leaves
// them missing (a missing sound plays nothing).
void InstallDefaultSounds(const QString& folder);
