// Host names and addresses through Winsock, as Windows 2000/XP has it (gethostbyname,
// no inet_pton).
#include "net/host.h"

#include <windows.h>
#include <winsock2.h>

#include <cstring>

#include "net/dotted_quad.h"

namespace kestova {

bool StartSocketLibrary() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CCountedString LocalHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return CCountedString();
  return CCountedString(name);
}

uint32_t ResolveHostAddress(const char* hostText) {
  uint32_t address = 0;
  if (ParseDottedQuad(hostText, &address)) return address;
  if (hostText == nullptr || *hostText == '\0') return 0;
  // Winsock keeps the result per thread, so this is safe from several threads.
  const hostent* host = gethostbyname(hostText);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
      host->h_addr_list[0] == nullptr) {
    return 0;
  }
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return address;
}

uint32_t LocalAddressTowards(uint32_t peer) {
  if (peer == 0) return 0;
  // Connecting a UDP socket only picks the route and the source address; nothing is sent.
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(9);  // any port will do
  to.sin_addr.s_addr = peer;
  uint32_t local = 0;
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
    sockaddr_in self{};
    int length = sizeof self;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) == 0) {
      local = self.sin_addr.s_addr;
    }
  }
  closesocket(s);
  return local;
}

}  // namespace kestova
