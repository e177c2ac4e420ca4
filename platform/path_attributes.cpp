// The attribute questions, answered the same way on every system from GetPathAttributes.
#include "platform/file_system.h"

namespace kestova {

bool PathExists(const CCountedString& path) {
  PathAttributes attributes;
  return GetPathAttributes(path, &attributes);
}

bool IsDirectory(const CCountedString& path) {
  PathAttributes attributes;
  return GetPathAttributes(path, &attributes) && attributes.isDirectory;
}

bool IsReadOnly(const CCountedString& path) {
  PathAttributes attributes;
  return GetPathAttributes(path, &attributes) && attributes.isReadOnly;
}

}  // namespace kestova
