#pragma once
// Whole files that survive a failed save: the bytes go to a new file in the
// same folder, which is flushed to the disk, checked and only then renamed
// over the old name, so that a full disk, a quota or a crash leaves either
// the old file or the new one, never a part.

#include <filesystem>
#include <string_view>

enum class TFileAccess {
  Shared,   // keeps the mode of the file it replaces; a new file gets 0666 less the umask
  Private,  // readable and writable by the owner only (0600), also when the old file was wider
};

// Replaces the file at `path` by `bytes`. A symbolic link at `path` is
// replaced by the file, its target left untouched. Any failure raises
// EInOutError with the system's text and leaves the old file as it was.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         TFileAccess access = TFileAccess::Shared);

// Appends `bytes` to the file at `path`, creating it private (0600); a
// symbolic link there is refused (ELOOP). Failures raise EInOutError.
void AppendToFile(const std::filesystem::path& path, std::string_view bytes);

// Writes all of `bytes` to the descriptor, resuming after short writes and
// interruptions; false with errno set when the system refuses.
bool WriteAllBytes(int descriptor, std::string_view bytes);
