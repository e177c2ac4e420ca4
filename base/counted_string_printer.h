// Lets GoogleTest print counted strings in failure messages. Include from tests only.
#pragma once

#include <ostream>

#include "base/counted_string.h"

namespace kestova {

inline void PrintTo(const CCountedString& text, std::ostream* out) {
  *out << '"';
  for (size_t i = 0; i < text.Length(); ++i) {
    const unsigned char c = text.ByteAt(i);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      *out << static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      *out << "\\x" << kHex[c >> 4] << kHex[c & 15];
    }
  }
  *out << '"';
}

}  // namespace kestova
