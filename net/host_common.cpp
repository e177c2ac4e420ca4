// The host functions that read the same on every system; the OS bodies (win32/host.cpp,
// posix/host.cpp) start the socket library and look host names up.
#include <cstring>

#include "net/dotted_quad.h"
#include "net/host.h"
#include "net/host_lookup.h"
#include "net/socket_system.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kestova {

CCountedString LocalHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return CCountedString();
  return CCountedString(name);
}

uint32_t ResolveHostAddress(const char* hostText) {
  uint32_t address = 0;
  if (ParseDottedQuad(hostText, &address)) return address;
  if (hostText == nullptr || *hostText == '\0') return 0;
  return LookUpHostName(hostText);
}

uint32_t LocalAddressTowards(uint32_t peer) {
  if (peer == 0) return 0;
  // Connecting a UDP socket only picks the route and the source address; nothing is sent.
  const SocketHandle s = socket(AF_INET, SOCK_DGRAM | kNewSocketFlags, IPPROTO_UDP);
  if (s == kInvalidSocket) return 0;
  const sockaddr_in to = MakeAddress(peer, 9);  // any port will do
  uint32_t local = 0;
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
    QueryAddress(s, false, &local, nullptr);
  }
  CloseSocketHandle(s);
  return local;
}

}  // namespace kestova
