#include "net/ip_address.h"

#include <cstring>

#include "net/dotted_quad.h"

namespace kestova {
namespace {

const uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the groups of one side of "::" (or of a text without it) into `groups`;
// the count of 16-bit groups read, -1 when the text is no such list.
int ReadGroups(const char* text, size_t length, uint16_t* groups, int room) {
  if (length == 0) return 0;
  int count = 0;
  size_t at = 0;
  while (true) {
    size_t end = at;
    while (end < length && text[end] != ':') ++end;
    const size_t field = end - at;
    if (field == 0) return -1;
    if (end == length && std::memchr(text + at, '.', field) != nullptr) {
      // An IPv4 tail: the last two groups.
      char quad[16];
      uint32_t value = 0;
      if (field >= sizeof(quad) || count + 2 > room) return -1;
      std::memcpy(quad, text + at, field);
      quad[field] = '\0';
      if (!ParseDottedQuad(quad, &value)) return -1;
      const uint8_t* octets = reinterpret_cast<const uint8_t*>(&value);
      groups[count++] = static_cast<uint16_t>(octets[0] << 8 | octets[1]);
      groups[count++] = static_cast<uint16_t>(octets[2] << 8 | octets[3]);
      return count;
    }
    if (field > 4 || count >= room) return -1;
    uint16_t group = 0;
    for (size_t i = at; i < end; ++i) {
      const int digit = HexValue(text[i]);
      if (digit < 0) return -1;
      group = static_cast<uint16_t>(group << 4 | digit);
    }
    groups[count++] = group;
    if (end == length) return count;
    at = end + 1;
    if (at == length) return -1;  // a trailing single ':'
  }
}

bool ParseIPv6(const char* text, IpAddress* address) {
  const size_t length = std::strlen(text);
  const char* gap = std::strstr(text, "::");
  uint16_t groups[8] = {};
  if (gap == nullptr) {
    if (ReadGroups(text, length, groups, 8) != 8) return false;
  } else {
    if (std::strstr(gap + 2, "::") != nullptr) return false;
    uint16_t head[8] = {};
    uint16_t tail[8] = {};
    const size_t headLength = static_cast<size_t>(gap - text);
    const int headCount = ReadGroups(text, headLength, head, 7);
    const int tailCount =
        headCount < 0 ? -1 : ReadGroups(gap + 2, length - headLength - 2, tail, 7 - headCount);
    if (headCount < 0 || tailCount < 0) return false;
    for (int i = 0; i < headCount; ++i) groups[i] = head[i];
    for (int i = 0; i < tailCount; ++i) groups[8 - tailCount + i] = tail[i];
  }
  for (int i = 0; i < 8; ++i) {
    address->bytes[2 * i] = static_cast<uint8_t>(groups[i] >> 8);
    address->bytes[2 * i + 1] = static_cast<uint8_t>(groups[i] & 0xff);
  }
  return true;
}

}  // namespace

IpAddress IpAddress::FromIPv4(uint32_t networkOrder) {
  IpAddress address;
  std::memcpy(address.bytes, kMappedPrefix, sizeof(kMappedPrefix));
  std::memcpy(address.bytes + 12, &networkOrder, 4);
  return address;
}

bool IpAddress::IsIPv4() const { return std::memcmp(bytes, kMappedPrefix, 12) == 0; }

uint32_t IpAddress::IPv4() const {
  uint32_t value = 0;
  if (IsIPv4()) std::memcpy(&value, bytes + 12, 4);
  return value;
}

bool IpAddress::IsAny() const { return *this == IpAddress(); }

bool operator==(const IpAddress& a, const IpAddress& b) {
  return std::memcmp(a.bytes, b.bytes, sizeof(a.bytes)) == 0;
}

bool operator<(const IpAddress& a, const IpAddress& b) {
  return std::memcmp(a.bytes, b.bytes, sizeof(a.bytes)) < 0;
}

CCountedString IpAddressText(const IpAddress& address) {
  if (address.IsIPv4()) {
    const uint8_t* o = address.bytes + 12;
    return CCountedString::Format("%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
  }
  unsigned groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = address.bytes[2 * i] << 8 | address.bytes[2 * i + 1];
  // The longest run of zero groups (two or more; the first of equal runs) becomes "::".
  int bestStart = -1;
  int bestLength = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  CCountedString text;
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      text.Append("::");
      i += bestLength - 1;
      continue;
    }
    if (i > 0 && i != bestStart + bestLength) text.Append(":");
    text.AppendFormat("%x", groups[i]);
  }
  return text;
}

CCountedString IpEndpointText(const IpAddress& address, uint16_t port) {
  if (address.IsIPv4()) {
    return CCountedString::Format("%s:%u", IpAddressText(address).CStr(), unsigned{port});
  }
  return CCountedString::Format("[%s]:%u", IpAddressText(address).CStr(), unsigned{port});
}

bool ParseIpAddress(const char* text, IpAddress* address) {
  uint32_t quad = 0;
  if (ParseDottedQuad(text, &quad)) {
    *address = IpAddress::FromIPv4(quad);
    return true;
  }
  IpAddress parsed;
  if (std::strchr(text, ':') == nullptr || !ParseIPv6(text, &parsed)) return false;
  *address = parsed;
  return true;
}

}  // namespace kestova
