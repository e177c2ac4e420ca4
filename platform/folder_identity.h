// Which folder a path names, whatever spelling reaches it.
//
// Two paths name the same folder when their identities are equal: on Windows the volume's
// serial number and the file index (so a short 8.3 name, trailing dots, a different case or
// a junction all reach the same identity); on POSIX the device and the inode.
#pragma once

#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FolderIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
};

// False when `path` names no existing folder (a file, nothing, or no access).
// Any thread.
bool GetFolderIdentity(const CCountedString& path, FolderIdentity* identity);

}  // namespace kestova
