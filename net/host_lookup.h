// Inside net/ only: the host-name lookup of each system (getaddrinfo on POSIX,
// gethostbyname on Windows 2000/XP, which has no getaddrinfo).
#pragma once

#include <cstdint>

namespace kestova {

// The first IPv4 address of a host-name lookup of a non-empty name; 0 when there is none.
// Safe from several threads at once.
uint32_t LookUpHostName(const char* hostName);

}  // namespace kestova
