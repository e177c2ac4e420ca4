// The one conversion from a path as the portable code writes it to the name the
// POSIX calls take: every '\\' becomes '/'. Linux paths are UTF-8, whose bytes never
// look like a separator, so the conversion is byte by byte.
#pragma once

#include <string>

#include "base/counted_string.h"

namespace kestova {

inline std::string NativePath(const CCountedString& path) {
  std::string native(path.CStr(), path.Length());
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

}  // namespace kestova
