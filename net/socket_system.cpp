#include "net/socket_system.h"

#include <cstring>

namespace kestova {

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in result;
  std::memset(&result, 0, sizeof(result));
  result.sin_family = AF_INET;
  result.sin_addr.s_addr = address;
  result.sin_port = htons(port);
  return result;
}

bool IsStream(SocketHandle handle) {
  int type = 0;
  SocketLength length = sizeof(type);
  return getsockopt(handle, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) == 0 &&
         type == SOCK_STREAM;
}

bool QueryAddress(SocketHandle handle, bool peer, uint32_t* address, uint16_t* port) {
  if (handle == kInvalidSocket) return false;
  sockaddr_in name;
  std::memset(&name, 0, sizeof(name));
  SocketLength length = sizeof(name);
  sockaddr* raw = reinterpret_cast<sockaddr*>(&name);
  const int result = peer ? getpeername(handle, raw, &length) : getsockname(handle, raw, &length);
  if (result != 0 || name.sin_family != AF_INET) return false;
  if (address) *address = name.sin_addr.s_addr;
  if (port) *port = ntohs(name.sin_port);
  return true;
}

void HandOverAccepted(SocketHandle accepted, const sockaddr_in& peer, SocketHandle* target,
                      uint32_t* peerAddress, uint16_t* peerPort) {
  if (peerAddress) *peerAddress = peer.sin_addr.s_addr;
  if (peerPort) *peerPort = ntohs(peer.sin_port);
  const SocketHandle old = *target;
  *target = accepted;
  if (old != kInvalidSocket) CloseSocketHandle(old);
}

}  // namespace kestova
