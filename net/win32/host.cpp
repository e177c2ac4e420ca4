// Host names through Winsock, as Windows 2000/XP has it (gethostbyname, no getaddrinfo).
#include "net/host.h"

#include <winsock2.h>

#include <cstring>

#include "net/host_lookup.h"

namespace kestova {

bool StartSocketLibrary() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopSocketLibrary() { WSACleanup(); }

uint32_t LookUpHostName(const char* hostName) {
  // Winsock keeps the result per thread, so this is safe from several threads.
  const hostent* host = gethostbyname(hostName);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
      host->h_addr_list[0] == nullptr) {
    return 0;
  }
  uint32_t address = 0;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return address;
}

}  // namespace kestova
