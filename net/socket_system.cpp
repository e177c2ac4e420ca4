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

bool MakeSocketAddress(const IpAddress& address, uint16_t port, bool ipv6, SocketAddress* result) {
  std::memset(&result->storage, 0, sizeof(result->storage));
  if (!ipv6) {
    if (!address.IsIPv4()) return false;
    const sockaddr_in v4 = MakeAddress(address.IPv4(), port);
    std::memcpy(&result->storage, &v4, sizeof(v4));
    result->length = sizeof(v4);
    return true;
  }
  sockaddr_in6 v6;
  std::memset(&v6, 0, sizeof(v6));
  v6.sin6_family = AF_INET6;
  v6.sin6_port = htons(port);
  std::memcpy(&v6.sin6_addr, address.bytes, sizeof(address.bytes));
  std::memcpy(&result->storage, &v6, sizeof(v6));
  result->length = sizeof(v6);
  return true;
}

bool ReadSocketAddress(const sockaddr_storage& name, IpAddress* address, uint16_t* port) {
  if (name.ss_family == AF_INET) {
    const sockaddr_in& v4 = reinterpret_cast<const sockaddr_in&>(name);
    if (address) *address = IpAddress::FromIPv4(v4.sin_addr.s_addr);
    if (port) *port = ntohs(v4.sin_port);
    return true;
  }
  if (name.ss_family == AF_INET6) {
    const sockaddr_in6& v6 = reinterpret_cast<const sockaddr_in6&>(name);
    if (address) std::memcpy(address->bytes, &v6.sin6_addr, sizeof(address->bytes));
    if (port) *port = ntohs(v6.sin6_port);
    return true;
  }
  return false;
}

bool IsIPv6Socket(SocketHandle handle) {
  sockaddr_storage name;
  std::memset(&name, 0, sizeof(name));
  SocketLength length = sizeof(name);
  return getsockname(handle, reinterpret_cast<sockaddr*>(&name), &length) == 0 &&
         name.ss_family == AF_INET6;
}

bool QueryAddress(SocketHandle handle, bool peer, IpAddress* address, uint16_t* port) {
  if (handle == kInvalidSocket) return false;
  sockaddr_storage name;
  std::memset(&name, 0, sizeof(name));
  SocketLength length = sizeof(name);
  sockaddr* raw = reinterpret_cast<sockaddr*>(&name);
  const int result = peer ? getpeername(handle, raw, &length) : getsockname(handle, raw, &length);
  return result == 0 && ReadSocketAddress(name, address, port);
}

bool QueryAddress(SocketHandle handle, bool peer, uint32_t* address, uint16_t* port) {
  IpAddress value;
  if (!QueryAddress(handle, peer, &value, port) || !value.IsIPv4()) return false;
  if (address) *address = value.IPv4();
  return true;
}

void HandOverAccepted(SocketHandle accepted, const sockaddr_storage& peer, SocketHandle* target,
                      IpAddress* peerAddress, uint16_t* peerPort) {
  ReadSocketAddress(peer, peerAddress, peerPort);
  const SocketHandle old = *target;
  *target = accepted;
  if (old != kInvalidSocket) CloseSocketHandle(old);
}

}  // namespace kestova
