#include "platform/folder_identity.h"

#include <windows.h>

namespace kestova {

bool GetFolderIdentity(const CCountedString& path, FolderIdentity* identity) {
  // A folder opens only with backup semantics; no access right is asked for, so the
  // attributes alone are read and nothing is locked.
  const HANDLE folder =
      CreateFileA(path.CStr(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information = {};
  const bool read = GetFileInformationByHandle(folder, &information) != FALSE;
  CloseHandle(folder);
  if (!read || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  identity->volume = information.dwVolumeSerialNumber;
  identity->index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) |
                    information.nFileIndexLow;
  return true;
}

}  // namespace kestova
