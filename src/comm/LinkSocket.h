// Where the sibling link's socket lives and who may use it: a folder only this user can
// enter, and the user id of the process at the other end of a connection.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QtGlobal>
#include <optional>

struct TLinkFolder {
  QString Path;         // empty when no private folder could be had
  QString Notice;       // for the user: why the usual folder was not taken; empty when it was
  bool OneOff = false;  // made for this program alone: removed when the program is done
};

// $XDG_RUNTIME_DIR when it is a private folder of this user's; else <temp>/wombat-<uid>,
// made with mode 0700 or taken when it already is such a folder; else a new private folder
// under the temporary folder.
TLinkFolder PrivateLinkFolder();

// A real folder (not a symbolic link) owned by this user that nobody else may enter.
bool IsPrivateFolder(const QString& path);

// The user id of the process at the other end of a connected local socket.
std::optional<uid_t> PeerUserId(qintptr descriptor);

// The owner of the file at path when that is another user; nothing when the file is this
// user's or does not exist.
std::optional<uid_t> ForeignOwner(const QString& path);

// "name (uid N)", or "uid N" for an id without a name.
QString UserDescription(uid_t uid);
