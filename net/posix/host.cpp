#include "net/host.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "net/host_lookup.h"

namespace kestova {

bool StartSocketLibrary() { return true; }

void StopSocketLibrary() {}

uint32_t LookUpHostName(const char* hostName) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(hostName, nullptr, &hints, &found) != 0 || found == nullptr) return 0;
  const uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return address;
}

}  // namespace kestova
