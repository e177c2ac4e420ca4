// Inside net/ only: the system's socket headers, and the socket steps that read the same
// on every system once the few spellings that differ are named here. The OS bodies
// (win32/, posix/) keep what really differs: waits, sends, receives, socket creation.
#pragma once

#include <cstdint>

#include "net/event_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace kestova {

#ifdef _WIN32
using SocketLength = int;
constexpr int kNewSocketFlags = 0;
// The system's codes for the failures the socket layer names itself (LastError).
constexpr int kTimedOutCode = WSAETIMEDOUT;
constexpr int kNotASocketCode = WSAENOTSOCK;
constexpr int kInvalidArgumentCode = WSAEINVAL;
constexpr int kMessageTooLongCode = WSAEMSGSIZE;
#else
using SocketLength = socklen_t;
constexpr int kNewSocketFlags = SOCK_CLOEXEC;  // no descriptor leaks into child processes
constexpr int kTimedOutCode = ETIMEDOUT;
constexpr int kNotASocketCode = EBADF;
constexpr int kInvalidArgumentCode = EINVAL;
constexpr int kMessageTooLongCode = EMSGSIZE;
#endif

// Closes the handle; true when it is released. Defined by each OS body (POSIX: a close
// interrupted by a signal has released the descriptor too).
bool CloseSocketHandle(SocketHandle handle);
// A new socket, TCP or UDP, IPv4 or (`ipv6`) IPv6 (Windows: overlapped, IPv4 only;
// POSIX: closed on exec); kInvalidSocket on failure. Defined by each OS body. A new IPv6
// socket is dual-stack (IPV6_V6ONLY off) until MakeIPv6Only.
SocketHandle NewSocket(bool stream, bool ipv6 = false);
// Sets IPV6_V6ONLY on an IPv6 socket; false where the system refuses.
bool MakeIPv6Only(SocketHandle handle, bool only);
// Sends the whole buffer on `handle`, to `to` if given (else to the connected peer),
// within `timeoutMs` (> 0). What cannot be completed in time fails with 0 bytes even if
// part of it went out: callers take success to mean that everything was sent. On failure
// *error is the system's code of the reason (kTimedOutCode when the time ran out).
// Defined by each OS body.
bool SendWhole(SocketHandle handle, const sockaddr_in* to, const void* buffer, uint32_t length,
               uint32_t* bytesSent, int32_t timeoutMs, int* error);
// The system's code of the calling thread's last failed socket call (errno,
// WSAGetLastError). Defined by each OS body.
int LastSocketErrorCode();
// The socket option that gives a socket its address use. Defined by each OS body.
int AddressUseOption(CEventSocket::AddressUse use);

// An IPv4 socket address (network-order address, host-order port).
sockaddr_in MakeAddress(uint32_t address, uint16_t port);
// A socket address of either family, with its length.
struct SocketAddress {
  sockaddr_storage storage;
  SocketLength length;
  const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage); }
};
// `address` as a socket of the family `ipv6` addresses it (an IPv4 address mapped on an
// IPv6 socket); false when an IPv4 socket is asked for an IPv6 address.
bool MakeSocketAddress(const IpAddress& address, uint16_t port, bool ipv6, SocketAddress* result);
// The address and port of an IPv4 or IPv6 socket address; false for another family.
bool ReadSocketAddress(const sockaddr_storage& name, IpAddress* address, uint16_t* port);
// True when the socket is an IPv6 one.
bool IsIPv6Socket(SocketHandle handle);
// True for a stream (TCP) socket.
bool IsStream(SocketHandle handle);
// The end of an accept: stores the peer's address and port (each may be null), gives
// `accepted` to the object whose handle is *target, then closes what that object held
// (after the hand-over, so the target may be the listening object itself).
void HandOverAccepted(SocketHandle accepted, const sockaddr_storage& peer, SocketHandle* target,
                      IpAddress* peerAddress, uint16_t* peerPort);
// The socket's own (peer false) or its connected peer's address; false when there is none
// (and, for the uint32_t form, for an IPv6 address).
bool QueryAddress(SocketHandle handle, bool peer, uint32_t* address, uint16_t* port);
bool QueryAddress(SocketHandle handle, bool peer, IpAddress* address, uint16_t* port);

}  // namespace kestova
