// Inside net/ only: the system's socket headers, and the socket steps that read the same
// on every system once the few spellings that differ are named here. The OS bodies
// (win32/, posix/) keep what really differs: waits, sends, receives, socket creation.
#pragma once

#include <cstdint>

#include "net/event_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace kestova {

#ifdef _WIN32
using SocketLength = int;
constexpr int kNewSocketFlags = 0;
#else
using SocketLength = socklen_t;
constexpr int kNewSocketFlags = SOCK_CLOEXEC;  // no descriptor leaks into child processes
#endif

// Closes the handle; true when it is released. Defined by each OS body (POSIX: a close
// interrupted by a signal has released the descriptor too).
bool CloseSocketHandle(SocketHandle handle);
// A new IPv4 socket, TCP or UDP (Windows: overlapped; POSIX: closed on exec);
// kInvalidSocket on failure. Defined by each OS body.
SocketHandle NewSocket(bool stream);
// The system's code of the calling thread's last failed socket call (errno,
// WSAGetLastError). Defined by each OS body.
int LastSocketErrorCode();
// The socket option that gives a socket its address use. Defined by each OS body.
int AddressUseOption(CEventSocket::AddressUse use);

// An IPv4 socket address (network-order address, host-order port).
sockaddr_in MakeAddress(uint32_t address, uint16_t port);
// True for a stream (TCP) socket.
bool IsStream(SocketHandle handle);
// The end of an accept: stores the peer's address and port (each may be null), gives
// `accepted` to the object whose handle is *target, then closes what that object held
// (after the hand-over, so the target may be the listening object itself).
void HandOverAccepted(SocketHandle accepted, const sockaddr_in& peer, SocketHandle* target,
                      uint32_t* peerAddress, uint16_t* peerPort);
// The socket's own (peer false) or its connected peer's address; false when there is none.
bool QueryAddress(SocketHandle handle, bool peer, uint32_t* address, uint16_t* port);

}  // namespace kestova
