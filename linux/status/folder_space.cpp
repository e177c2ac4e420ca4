#include "linux/status/folder_space.h"

#include <sys/statvfs.h>

namespace kestova {

FolderSpace SpaceOfFolder(const std::string& folder) {
  FolderSpace space;
  struct statvfs info = {};
  if (folder.empty() || statvfs(folder.c_str(), &info) != 0) return space;
  space.known = true;
  space.freeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  space.totalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
  return space;
}

}  // namespace kestova
