#include "platform/folder_identity.h"

#include <sys/stat.h>

#include "platform/posix/native_path.h"

namespace kestova {

bool GetFolderIdentity(const CCountedString& path, FolderIdentity* identity) {
  struct stat status = {};
  if (stat(NativePath(path).c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
  identity->volume = static_cast<uint64_t>(status.st_dev);
  identity->index = static_cast<uint64_t>(status.st_ino);
  return true;
}

}  // namespace kestova
