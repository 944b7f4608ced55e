#include "session/DemoEntry.h"

#include <filesystem>

#include "access/AccessPoint.h"
#include "text/Codec.h"

namespace {

TAPData NewDemoEntry() {
  TAPData entry;
  entry.ID = "guest";
  entry.Password = "wombat";
  entry.Script = "[ID:]$I'[Password:]$P'[COMMAND>]C'";
  entry.LogName = "Demo";
  return entry;
}

}  // namespace

bool SaveDemoEntry(TAccessPoint& accessPoint, uint16_t port) {
  const std::string name = kDemoEntryName;
  TAPData entry;
  if (std::filesystem::exists(accessPoint.Folder() / Cp932ToUtf8(name + ".ap")))
    accessPoint.Load(name, entry);
  else
    entry = NewDemoEntry();
  // A password bound to another machine or folder does not load.
  if (entry.Password.empty()) entry.Password = NewDemoEntry().Password;
  entry.HostName = "127.0.0.1";
  entry.Port = std::to_string(port);
  return accessPoint.Save(name, entry);
}
