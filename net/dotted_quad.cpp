#include "net/dotted_quad.h"

#include <cstring>

#include "net/host.h"

namespace kestova {

bool ParseDottedQuad(const char* text, uint32_t* address) {
  if (text == nullptr) return false;
  unsigned char bytes[4];
  const char* p = text;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *p++ != '.') return false;
    unsigned value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      if (++digits > 3) return false;
      value = value * 10 + static_cast<unsigned>(*p++ - '0');
    }
    if (digits == 0 || value > 255) return false;
    bytes[part] = static_cast<unsigned char>(value);
  }
  if (*p != '\0') return false;
  std::memcpy(address, bytes, sizeof bytes);  // first byte first: network order
  return true;
}

CCountedString AddressText(uint32_t address) {
  unsigned char bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  return CCountedString::Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

}  // namespace kestova
