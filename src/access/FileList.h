#pragma once
// Lists the files of a folder whose names match a pattern, optionally
// descending into subfolders. Folders are paths as the file system names
// them; the names found come back as CP932 bytes through the codec.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class TFileList {
 public:
  // Full folder paths (without final "/") not to descend into.
  std::vector<std::filesystem::path> ExcludeFolders;
  bool Recursive = false;
  // Return the file's path (as the file system names it) instead of its
  // bare CP932 name.
  bool FullPath = false;
  // Called per file when Enumerate is given no list.
  std::function<void(TFileList& sender, const std::string& fileText)> OnFound;

  const std::string& Mask() const { return FMask; }
  // A shell pattern ("*.ap"); "*.*" matches every name, as does an empty mask.
  void SetMask(const std::string& mask) { FMask = mask.empty() ? "*.*" : mask; }

  // Clears `list` and fills it with the matching files, in the order the
  // file system gives them, the files of subfolders after those of the
  // folder itself; without a list OnFound is called per file. A folder that
  // does not exist gives nothing.
  void Enumerate(const std::filesystem::path& folder, std::vector<std::string>* list);

 private:
  void Search(const std::filesystem::path& folder, std::vector<std::string>* list);
  bool Matches(const std::string& diskName) const;
  void Found(const std::string& text, std::vector<std::string>* list);

  std::string FMask = "*.*";
};
