// CEventSocket: one socket whose every blocking step waits at most a time-out.
//
// Every operation returns true on success and false otherwise; none throws or logs. The
// system's reason for the last failure is kept (LastError). Where data moves, the byte
// count comes back through an optional out-parameter (0 on failure). A receive that times
// out succeeds with 0 bytes: a quiet connection is not an error.
//
// Addresses are IPv4, 32 bits in network byte order, except where an operation takes an
// IpAddress: stream sockets may be IPv6 (Linux; Windows builds create IPv4 sockets only).
// Ports are in host byte order.
// Time-outs are milliseconds; where an operation says "0 = default" a time-out of 0
// means the object's default time-out (set by Create and SetTimeout).
//
// The object never closes its socket on destruction: its owner calls Close. Handles
// move between objects only through Detach/Attach or Accept. One thread at a time.
#pragma once

#include <cstdint>

#include "base/counted_string.h"
#include "net/ip_address.h"
#include "platform/system_error.h"

namespace kestova {

#ifdef _WIN32
using SocketHandle = uintptr_t;  // SOCKET
#else
using SocketHandle = int;
#endif
extern const SocketHandle kInvalidSocket;

class CEventSocket {
 public:
  enum Type { kStream, kDatagram };
  // Whether other sockets may bind the same local port.
  enum AddressUse {
    // Address reuse: several sockets may bind one port (every active data connection
    // binds port 20) and a port keeps no one waiting after a close.
    kReuseAddress,
    // Nobody else may bind the port while this socket holds it, and it is not bound while
    // another socket holds it (Windows: SO_EXCLUSIVEADDRUSE, since address reuse there
    // would let two listeners share a port; POSIX: address reuse, which already refuses
    // a second listener). For listeners that must not share their port.
    kExclusiveAddress,
  };

  CEventSocket();
  ~CEventSocket() = default;  // does not close the socket
  CEventSocket(const CEventSocket&) = delete;
  CEventSocket& operator=(const CEventSocket&) = delete;

  // Closes any held socket, then creates a socket of the type (TCP for streams, UDP
  // for datagrams), sets the time-out and the address use, and binds the wildcard
  // address and `localPort` (0 = any free port). A failed Create leaves the object empty.
  bool Create(Type type, uint16_t localPort, int32_t timeoutMs,
              AddressUse addressUse = kReuseAddress);
  // As Create for a stream socket bound to `local`: an IPv4 address gives an IPv4 socket;
  // IpAddress::AnyAddress() a dual-stack socket (IPv6 with IPV6_V6ONLY off) that takes
  // IPv4 peers too, or an IPv4 wildcard socket where the system has no IPv6 (always on
  // Windows); any other IPv6 address an IPv6-only socket (false on Windows).
  bool CreateStream(const IpAddress& local, uint16_t localPort, int32_t timeoutMs,
                    AddressUse addressUse = kReuseAddress);
  // Closes the held socket, then holds `handle`; false (nothing changed) if that close fails.
  bool Attach(SocketHandle handle);
  // Returns the handle; the object then holds none.
  SocketHandle Detach();
  // True if nothing was held or the close succeeded (the object is then empty); false,
  // keeping the handle, if the system's close failed.
  bool Close();
  bool IsValid() const;
  SocketHandle Handle() const { return handle_; }
  int32_t DefaultTimeout() const { return defaultTimeoutMs_; }

  // Sets the socket's send and receive time-outs, then the default time-out.
  bool SetTimeout(int32_t timeoutMs);
  bool Listen(int backlog);
  // Waits up to `timeoutMs` (used as given: 0 polls) and accepts into `target`, whose
  // old socket is closed after the hand-over; `target` may be this object.
  bool Accept(CEventSocket& target, uint32_t* peerAddress = nullptr, uint16_t* peerPort = nullptr,
              int32_t timeoutMs = 0);
  // Connects within the time-out (0 = default); false for address 0, a refusal, an error
  // or the time-out. ConnectByName fails without connecting when the name cannot be
  // resolved (see ResolveHost).
  bool Connect(uint32_t address, uint16_t port, int32_t timeoutMs = 0);
  // Accept and Connect with an address of either family. An IPv4 peer of a dual-stack
  // socket comes back as its (mapped) IPv4 address; the uint32_t forms give 0 for an
  // IPv6 peer. A socket connects to addresses of its own family (a dual-stack one to both).
  bool AcceptPeer(CEventSocket& target, IpAddress* peerAddress, uint16_t* peerPort,
                  int32_t timeoutMs);
  bool Connect(const IpAddress& address, uint16_t port, int32_t timeoutMs = 0);
  bool ConnectByName(const char* host, uint16_t port, int32_t timeoutMs = 0);
  // Sends the whole buffer within the time-out (0 = default): on a stream in as many
  // pieces as the system takes, a datagram in one piece. True only when all of it was
  // sent; otherwise false with 0 bytes, even if part of a stream already went out (the
  // connection is then of no further use).
  bool Send(const void* buffer, uint32_t length, uint32_t* bytesSent = nullptr,
            int32_t timeoutMs = 0);
  // Sends what the system takes of the buffer at once, waiting up to the time-out (0 =
  // default) for room: true with the count, which is 0 when no room came in time; false
  // when the connection failed or was closed. A stream goes on with the rest in a later
  // call. For senders that measure time without progress rather than time per buffer.
  bool SendSome(const void* buffer, uint32_t length, uint32_t* bytesSent, int32_t timeoutMs = 0);
  bool SendTo(uint32_t address, uint16_t port, const void* buffer, uint32_t length,
              uint32_t* bytesSent = nullptr, int32_t timeoutMs = 0);
  // Receives what is available, at most `capacity` bytes, waiting up to the time-out
  // (0 = default). Nothing within the time-out: true with 0 bytes. The peer's close of a
  // stream: false with 0 bytes, once every byte sent before it has been received, and on
  // every later call. A datagram longer than `capacity` is lost: false. The sender of a
  // stream's bytes is its connected peer.
  bool ReceiveFrom(void* buffer, uint32_t capacity, uint32_t* bytesReceived = nullptr,
                   uint32_t* senderAddress = nullptr, uint16_t* senderPort = nullptr,
                   int32_t timeoutMs = 0);
  // Never waits. True when a stream's peer has closed and every byte it sent has been
  // received, or the connection has failed; false while bytes are waiting or the peer
  // is still there.
  bool PeerHasClosed() const;
  // True when the last ReceiveFrom returned false because the peer had closed the stream
  // in order (every byte it sent received); false after an error, and after a receive
  // that succeeded.
  bool LastReceiveEndedInOrder() const { return endedInOrder_; }

  // The socket's own / its connected peer's address and port; each out-parameter may be
  // null. The texts are IpAddressText's (the dotted quad for IPv4) and the decimal port
  // ("%d"). The uint32_t forms fail for an IPv6 address.
  bool GetLocalAddress(uint32_t* address, uint16_t* port) const;
  bool GetPeerAddress(uint32_t* address, uint16_t* port) const;
  bool GetLocalIpAddress(IpAddress* address, uint16_t* port) const;
  bool GetPeerIpAddress(IpAddress* address, uint16_t* port) const;
  bool GetLocalAddressText(CCountedString* address, CCountedString* port) const;
  bool GetPeerAddressText(CCountedString* address, CCountedString* port) const;

  // The system's reason for this object's last failure (unset before any): of Create,
  // Listen, Accept, Connect, a send or a receive ("Address already in use", "Connection
  // reset by peer", ...). A time-out that fails an operation is the system's time-out
  // code; an operation on an empty object fails with the system's "not a socket" code.
  // What is no failure leaves it as it was: a receive that finds a quiet connection or
  // the peer's orderly close (see LastReceiveEndedInOrder), a send that found no room.
  const SystemError& LastError() const { return lastError_; }
  // Keeps `code` as the last failure: for moves the kernel makes on Handle() (the pumps).
  void NoteFailure(int code);

 private:
  friend class CSocketToFile;  // its kernel receives record how a stream ended, too

  // Keeps `code` as the last failure and returns false, for a failing operation's return.
  bool Fail(int code);

  SocketHandle handle_;
  int32_t defaultTimeoutMs_;
  bool endedInOrder_ = false;
  SystemError lastError_;
};

// The dotted quad's value, else the first address of a host-name lookup; 0 if neither.
uint32_t ResolveHost(const char* hostText);

}  // namespace kestova
