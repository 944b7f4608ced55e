#include "text/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "text/Errors.h"

namespace fs = std::filesystem;

namespace {

constexpr int kNameAttempts = 100;

[[noreturn]] void RaiseInOutError(int errorCode) {
  throw EInOutError(std::strerror(errorCode), errorCode);
}

// A new file beside the one it will replace, removed again unless it was
// renamed over that file.
class TTemporaryFile {
 public:
  TTemporaryFile(const fs::path& target, mode_t mode) {
    static unsigned counter = 0;
    const std::string stem = "." + target.filename().string() + "." + std::to_string(getpid());
    for (int attempt = 0; attempt < kNameAttempts && FDescriptor < 0; ++attempt) {
      FPath = target.parent_path() / (stem + "-" + std::to_string(counter++) + ".tmp");
      FDescriptor = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (FDescriptor < 0 && errno != EEXIST) break;
    }
    if (FDescriptor < 0) RaiseInOutError(errno);
  }
  ~TTemporaryFile() {
    if (FDescriptor >= 0) ::close(FDescriptor);
    if (!FRenamed) ::unlink(FPath.c_str());
  }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  void SetMode(mode_t mode) {
    if (::fchmod(FDescriptor, mode) != 0) RaiseInOutError(errno);
  }
  void Write(std::string_view bytes) {
    if (!WriteAllBytes(FDescriptor, bytes)) RaiseInOutError(errno);
  }
  // Flushes the bytes to the disk, closes and renames over `target`.
  void Replace(const fs::path& target) {
    if (::fsync(FDescriptor) != 0) RaiseInOutError(errno);
    const int descriptor = FDescriptor;
    FDescriptor = -1;
    if (::close(descriptor) != 0) RaiseInOutError(errno);
    if (::rename(FPath.c_str(), target.c_str()) != 0) RaiseInOutError(errno);
    FRenamed = true;
  }

 private:
  fs::path FPath;
  int FDescriptor = -1;
  bool FRenamed = false;
};

// Makes the rename itself durable; a folder that cannot be synced still
// holds the complete new file.
void SyncFolder(const fs::path& folder) {
  const int descriptor =
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

}  // namespace

bool WriteAllBytes(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The path itself is replaced: a symbolic link there is replaced as a link,
// never followed, so that no file outside the folder is written; only a
// regular file passes its mode on.
void WriteFileAtomically(const fs::path& path, std::string_view bytes, TFileAccess access) {
  // The system would take a path with a NUL as the shorter one before it.
  if (path.native().find('\0') != std::string::npos) RaiseInOutError(EINVAL);
  const bool isPrivate = access == TFileAccess::Private;
  TTemporaryFile file(path, isPrivate ? S_IRUSR | S_IWUSR : 0666);
  struct stat old {};
  if (isPrivate) {
    file.SetMode(S_IRUSR | S_IWUSR);
  } else if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    file.SetMode(old.st_mode & 07777);
  }
  file.Write(bytes);
  file.Replace(path);
  SyncFolder(path.parent_path());
}

void AppendToFile(const fs::path& path, std::string_view bytes) {
  if (path.native().find('\0') != std::string::npos) RaiseInOutError(EINVAL);
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC,
                                S_IRUSR | S_IWUSR);
  if (descriptor < 0) RaiseInOutError(errno);
  const bool written = WriteAllBytes(descriptor, bytes);
  const int writeError = errno;
  if (::close(descriptor) != 0 && written) RaiseInOutError(errno);
  if (!written) RaiseInOutError(writeError);
}
