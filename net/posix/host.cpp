#include "net/host.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "net/dotted_quad.h"

namespace kestova {

bool StartSocketLibrary() { return true; }

CCountedString LocalHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return CCountedString();
  return CCountedString(name);
}

uint32_t ResolveHostAddress(const char* hostText) {
  uint32_t address = 0;
  if (ParseDottedQuad(hostText, &address)) return address;
  if (hostText == nullptr || *hostText == '\0') return 0;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(hostText, nullptr, &hints, &found) != 0 || found == nullptr) return 0;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return address;
}

uint32_t LocalAddressTowards(uint32_t peer) {
  if (peer == 0) return 0;
  // Connecting a UDP socket only picks the route and the source address; nothing is sent.
  const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(9);  // any port will do
  to.sin_addr.s_addr = peer;
  uint32_t local = 0;
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
    sockaddr_in self{};
    socklen_t length = sizeof self;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) == 0) {
      local = self.sin_addr.s_addr;
    }
  }
  close(s);
  return local;
}

}  // namespace kestova
