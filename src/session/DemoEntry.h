#pragma once
// The access list entry "Demo" for the bundled demo host: it logs in as
// "guest" by script and enters the conference.

#include <cstdint>
#include <string>

class TAccessPoint;

inline constexpr char kDemoEntryName[] = "Demo";

// Creates the entry, or points an existing one (with the user's changes)
// at this port of 127.0.0.1. False when it cannot be written.
bool SaveDemoEntry(TAccessPoint& accessPoint, uint16_t port);
