// IpAddress: an IPv4 or IPv6 address as one value, for the stream sockets that carry
// both (the FTP service's control and data connections).
//
// An IPv4 address is held in its IPv4-mapped form (::ffff:a.b.c.d), as a dual-stack
// socket reports it, so an IPv4 client is the same value whichever socket accepted it.
// Texts are written and read here, the same on every system (inet_ntop and inet_pton
// are missing on Windows 2000/XP).
#pragma once

#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

struct IpAddress {
  uint8_t bytes[16] = {};

  // "::": every address of both families (a dual-stack listener).
  static IpAddress AnyAddress() { return IpAddress(); }
  // `networkOrder` (IPv4, network byte order) in its mapped form; 0 is 0.0.0.0, every
  // IPv4 address only.
  static IpAddress FromIPv4(uint32_t networkOrder);

  bool IsIPv4() const;    // a mapped IPv4 address
  uint32_t IPv4() const;  // its IPv4 value in network order; 0 for an IPv6 address
  bool IsAny() const;     // "::" (not 0.0.0.0)
};

bool operator==(const IpAddress& a, const IpAddress& b);
inline bool operator!=(const IpAddress& a, const IpAddress& b) { return !(a == b); }
bool operator<(const IpAddress& a, const IpAddress& b);

// The dotted quad of an IPv4 address; an IPv6 address as RFC 5952 writes it (lower
// case, the longest run of two or more zero groups written "::").
CCountedString IpAddressText(const IpAddress& address);
// "a.b.c.d:port" or "[v6]:port".
CCountedString IpEndpointText(const IpAddress& address, uint16_t port);

// Reads a dotted quad or an IPv6 text (hexadecimal groups, one "::", an IPv4 tail);
// nothing else around it (no brackets, no zone). False for anything else.
bool ParseIpAddress(const char* text, IpAddress* address);

}  // namespace kestova
