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

// The interface a capture source was opened on (index 0: every interface), watched so that
// a source can tell when its interface has gone.
class CInterfaceWatch {
 public:
  CInterfaceWatch(int interfaceIndex, const char* name)
      : index_(interfaceIndex), name_(name != nullptr ? name : "") {}
  // True while the interface exists (always for every interface); otherwise `error` says
  // "<source>: interface NAME is gone".
  bool StillUsable(const char* source, std::string* error) const;

 private:
  int index_;
  std::string name_;
};

}  // namespace kestova
