#pragma once
// A file-size limit for the time of one test, as a quota or a nearly full
// disk would impose: writes past `bytes` into any regular file fail with
// EFBIG (the limit's signal is ignored meanwhile). Also the permission bits
// of a file as `stat` gives them. Standard library and POSIX only.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstddef>
#include <string>

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(std::size_t bytes) {
    getrlimit(RLIMIT_FSIZE, &FOldLimit);
    FOldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = FOldLimit;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOldLimit);
    signal(SIGXFSZ, FOldHandler);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit FOldLimit{};
  sighandler_t FOldHandler;
};

inline unsigned FileMode(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}
