// The adapter key of a Linux interface: its hardware address and two zero bytes, as two
// little-endian words (the same key the capture driver reports for a Windows adapter).
#pragma once

#include <cstdint>
#include <string>

namespace kestova {

// Looks up the interface with `interfaceIndex` through `socketFd` (any socket); 0/0 when it has
// no hardware address or cannot be found.
void InterfaceAdapterKey(int socketFd, int interfaceIndex, uint32_t* keyLow, uint32_t* keyHigh);

// True while an interface with `interfaceIndex` exists; the name it had when the source was
// opened is `name` (an interface removed and created again under that name has a new index).
bool InterfaceStillExists(int interfaceIndex, const std::string& name);

}  // namespace kestova
