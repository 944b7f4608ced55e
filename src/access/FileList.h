#pragma once
// Lists the files of a folder whose names match a pattern, optionally
// descending into subfolders. Names and paths are CP932 bytes; on disk they
// are UTF-8.

#include <functional>
#include <string>
#include <vector>

class TFileList {
 public:
  // Full folder paths (without final "/") not to descend into.
  std::vector<std::string> ExcludeFolders;
  bool Recursive = false;
  // Return folder + name instead of the bare name.
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
  void Enumerate(const std::string& folder, std::vector<std::string>* list);

 private:
  void Search(std::string folder, std::vector<std::string>* list);
  bool Matches(const std::string& diskName) const;
  void Found(const std::string& text, std::vector<std::string>* list);

  std::string FMask = "*.*";
};
