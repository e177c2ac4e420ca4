// Host-name resolution for the socket layer; the lookup itself is the platform's.
#include "net/event_socket.h"
#include "net/host.h"

namespace kestova {

uint32_t ResolveHost(const char* hostText) {
  return hostText != nullptr ? ResolveHostAddress(hostText) : 0;
}

}  // namespace kestova
