// The identity of a driver file: its size and SHA-1, as the build recorded them.
#pragma once

#include <cstdint>
#include <string>

namespace kestova {

// "<size in bytes> <SHA-1 in lower-case hex>" of the file at `path`; empty when the file
// cannot be read or hashed. Uses the system's basic cryptographic provider (Windows 2000 on).
std::string DriverFileIdentity(const char* path);

}  // namespace kestova
