#include "comm/LinkSocket.h"

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <vector>

namespace {

constexpr mode_t kOthersBits = S_IRWXG | S_IRWXO;

std::optional<struct stat> LinkStatus(const QString& path) {
  struct stat status {};
  if (::lstat(QFile::encodeName(path).constData(), &status) != 0) return std::nullopt;
  return status;
}

QString SharedTempFolder() {
  return QDir::tempPath() + QStringLiteral("/wombat-%1").arg(geteuid());
}

// <temp>/wombat-<uid>, made now or already there as a private folder of this user's.
bool TakeSharedTempFolder(const QString& path) {
  if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST) return false;
  return IsPrivateFolder(path);
}

QString MakeOneOffFolder() {
  QByteArray pattern = QFile::encodeName(SharedTempFolder() + QStringLiteral("-XXXXXX"));
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return QFile::decodeName(pattern);
}

}  // namespace

bool IsPrivateFolder(const QString& path) {
  const std::optional<struct stat> status = LinkStatus(path);
  return status && S_ISDIR(status->st_mode) && status->st_uid == geteuid() &&
         (status->st_mode & kOthersBits) == 0;
}

TLinkFolder PrivateLinkFolder() {
  TLinkFolder folder;
  QStringList refused;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) {
    if (IsPrivateFolder(runtime)) {
      folder.Path = runtime;
      return folder;
    }
    refused << runtime;
  }
  const QString shared = SharedTempFolder();
  if (TakeSharedTempFolder(shared)) {
    folder.Path = shared;
  } else {
    refused << shared;
    folder.Path = MakeOneOffFolder();
    folder.OneOff = !folder.Path.isEmpty();
  }
  if (!refused.isEmpty()) {
    folder.Notice =
        QStringLiteral("%1 は本人専用のフォルダではないため、リンクのソケットを %2 に置きます")
            .arg(refused.join(QStringLiteral("、")),
                 folder.Path.isEmpty() ? QStringLiteral("(なし)") : folder.Path);
  }
  return folder;
}

std::optional<uid_t> PeerUserId(qintptr descriptor) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
    return std::nullopt;
  return credentials.uid;
}

std::optional<uid_t> ForeignOwner(const QString& path) {
  const std::optional<struct stat> status = LinkStatus(path);
  if (!status || status->st_uid == geteuid()) return std::nullopt;
  return status->st_uid;
}

QString UserDescription(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(4096);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return QStringLiteral("%1 (uid %2)").arg(QString::fromLocal8Bit(found->pw_name)).arg(uid);
  return QStringLiteral("uid %1").arg(uid);
}
