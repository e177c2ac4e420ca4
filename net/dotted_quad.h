// Dotted-quad IPv4 text, the same on every system (inet_pton is missing on XP and
// inet_addr cannot tell "255.255.255.255" from an error).
#pragma once

#include <cstdint>

namespace kestova {

// Parses exactly four decimal numbers 0-255 separated by dots, nothing else around
// them. False for any other text. The address is stored in network byte order.
bool ParseDottedQuad(const char* text, uint32_t* address);

}  // namespace kestova
