// Free and total space of the file system that holds a folder.
#pragma once

#include <cstdint>
#include <string>

namespace kestova {

struct FolderSpace {
  bool known = false;      // false when the folder cannot be asked (missing, no rights)
  uint64_t freeBytes = 0;  // available to this (unprivileged) process
  uint64_t totalBytes = 0;
};

FolderSpace SpaceOfFolder(const std::string& folder);

}  // namespace kestova
