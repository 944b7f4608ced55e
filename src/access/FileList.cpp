#include "access/FileList.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>

#include "text/Codec.h"

namespace fs = std::filesystem;

void TFileList::Enumerate(const fs::path& folder, std::vector<std::string>* list) {
  if (list != nullptr) list->clear();
  Search(folder, list);
}

void TFileList::Search(const fs::path& folder, std::vector<std::string>* list) {
  std::vector<fs::path> subfolders;
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string diskName = it->path().filename().string();
    std::error_code statusError;
    if (!it->is_directory(statusError)) {
      if (Matches(diskName))
        Found(FullPath ? (folder / diskName).string() : Utf8ToCp932(diskName), list);
    } else if (Recursive && !it->is_symlink(statusError) && !diskName.starts_with(".")) {
      subfolders.push_back(folder / diskName);
    }
  }
  for (const fs::path& subfolder : subfolders) {
    if (std::find(ExcludeFolders.begin(), ExcludeFolders.end(), subfolder) == ExcludeFolders.end())
      Search(subfolder, list);
  }
}

// `diskName` is UTF-8, as the file system holds it.
bool TFileList::Matches(const std::string& diskName) const {
  return FMask == "*.*" || fnmatch(Cp932ToUtf8(FMask).c_str(), diskName.c_str(), 0) == 0;
}

void TFileList::Found(const std::string& text, std::vector<std::string>* list) {
  if (list != nullptr) {
    list->push_back(text);
  } else if (OnFound) {
    OnFound(*this, text);
  }
}
