// Host names and addresses. Addresses are IPv4, 32 bits in network byte order.
#pragma once

#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

// Starts the socket library where the system needs it (Winsock); true on success.
// Call once before any socket is used and before the other functions of this
// header, which use Winsock on Windows; harmless elsewhere.
bool StartSocketLibrary();
// Gives back one successful StartSocketLibrary (Winsock's clean-up); after the last one
// no socket may be used. Nothing elsewhere.
void StopSocketLibrary();

// This machine's host name; empty when it cannot be told.
CCountedString LocalHostName();

// The dotted quad's value, else the first address a host-name lookup gives; 0 when
// the text can be neither.
uint32_t ResolveHostAddress(const char* hostText);

// The local address the system would use as source when sending to `peer` (a route
// lookup, nothing is sent); 0 when there is no route.
uint32_t LocalAddressTowards(uint32_t peer);

// Dotted-quad text of an address.
CCountedString AddressText(uint32_t address);

}  // namespace kestova
