// CEventSocket on Windows: overlapped Winsock sockets with event selection.
//
// Every timed step creates its own event, selects the network events it waits for on
// it (WSAEventSelect, which also makes the socket non-blocking for good), waits for it
// with WSAWaitForMultipleEvents, reads what happened with WSAEnumNetworkEvents, and
// before closing the event ends the selection, so that the system never keeps a handle
// to an event that no longer exists. Only calls Windows 2000/XP have are used.
#include "net/event_socket.h"

#include <winsock2.h>

#include <cstring>

#include "net/socket_system.h"
#include "net/win32/receive_reported.h"

namespace kestova {

const SocketHandle kInvalidSocket = INVALID_SOCKET;

namespace {

// A wait event bound to one socket for the length of one operation.
class CWaitEvent {
 public:
  explicit CWaitEvent(SOCKET socket) : socket_(socket), event_(WSACreateEvent()) {}
  ~CWaitEvent() {
    if (selected_) WSAEventSelect(socket_, nullptr, 0);
    if (event_ != WSA_INVALID_EVENT) WSACloseEvent(event_);
  }
  CWaitEvent(const CWaitEvent&) = delete;
  CWaitEvent& operator=(const CWaitEvent&) = delete;

  bool IsValid() const { return event_ != WSA_INVALID_EVENT; }
  WSAEVENT Handle() const { return event_; }

  // Resets the event and selects `events` of the socket on it.
  bool Select(long events) {
    WSAResetEvent(event_);
    if (WSAEventSelect(socket_, event_, events) != 0) return false;
    selected_ = true;
    return true;
  }
  // A single-event, non-alertable wait: WSA_WAIT_EVENT_0, WSA_WAIT_TIMEOUT or WSA_WAIT_FAILED.
  DWORD WaitResult(DWORD timeoutMs) const {
    return WSAWaitForMultipleEvents(1, &event_, FALSE, timeoutMs, FALSE);
  }
  // True if the event was signalled within the time-out.
  bool Wait(DWORD timeoutMs) const { return WaitResult(timeoutMs) == WSA_WAIT_EVENT_0; }
  // The network events recorded since the selection; false if they cannot be read.
  bool Enumerate(WSANETWORKEVENTS* events) const {
    return WSAEnumNetworkEvents(socket_, event_, events) == 0;
  }

 private:
  SOCKET socket_;
  WSAEVENT event_;
  bool selected_ = false;
};

// Milliseconds left of a time-out that started at `start` (GetTickCount readings compared
// by unsigned subtraction); INFINITE stays INFINITE.
DWORD Remaining(DWORD start, DWORD timeoutMs) {
  if (timeoutMs == INFINITE) return INFINITE;
  const DWORD elapsed = GetTickCount() - start;
  return elapsed < timeoutMs ? timeoutMs - elapsed : 0;
}

// True if a stream has ended: its peer closed and nothing is left to receive (a peek of
// 0 bytes), or the connection failed or never existed. The socket must be non-blocking.
// *closedInOrder tells an orderly close (true) from an error (false) when it has ended;
// *error is then the error's code (0 after an orderly close).
bool StreamHasEnded(SOCKET socket, bool* closedInOrder = nullptr, int* error = nullptr) {
  if (!IsStream(socket)) return false;
  char byte;
  const int result = recv(socket, &byte, 1, MSG_PEEK);
  const int code = result == SOCKET_ERROR ? WSAGetLastError() : 0;
  if (closedInOrder != nullptr) *closedInOrder = result == 0;
  if (error != nullptr) *error = code;
  return result == 0 || (result == SOCKET_ERROR && code != WSAEWOULDBLOCK);
}

// One attempt to send `length` bytes as one overlapped piece, waiting at most `timeoutMs`.
// Returns false on failure or time-out, with the system's code in *error (WSAETIMEDOUT
// for the time-out); otherwise stores the count sent, which for a stream may be less
// than `length`. A send still pending when the time runs out is cancelled and its
// completion awaited, so that it never outlives the buffer or event.
bool SendPiece(SOCKET socket, const sockaddr_in* to, const char* bytes, uint32_t length,
               DWORD timeoutMs, uint32_t* sent, int* error) {
  CWaitEvent event(socket);
  if (!event.IsValid()) {
    *error = WSAGetLastError();
    return false;
  }
  WSAOVERLAPPED overlapped;
  std::memset(&overlapped, 0, sizeof(overlapped));
  overlapped.hEvent = event.Handle();
  WSABUF piece;
  piece.len = length;
  piece.buf = const_cast<char*>(bytes);
  DWORD count = 0;
  const sockaddr* name = reinterpret_cast<const sockaddr*>(to);
  const int result =
      to ? WSASendTo(socket, &piece, 1, &count, 0, name, sizeof(*to), &overlapped, nullptr)
         : WSASend(socket, &piece, 1, &count, 0, &overlapped, nullptr);
  if (result == 0) {
    *sent = count;
    return true;
  }
  *error = WSAGetLastError();
  if (*error == WSA_IO_PENDING) {
    event.Wait(timeoutMs);  // the wait's own result is not needed: the overlapped result tells
    DWORD flags = 0;
    if (WSAGetOverlappedResult(socket, &overlapped, &count, FALSE, &flags)) {
      *sent = count;
      return true;
    }
    *error = WSAGetLastError();
    if (*error == WSA_IO_INCOMPLETE) {
      // Cancel from this thread, which started the send, and wait until the system has
      // let go of the buffer and the event.
      CancelIo(reinterpret_cast<HANDLE>(socket));
      WSAGetOverlappedResult(socket, &overlapped, &count, TRUE, &flags);
      *error = kTimedOutCode;
    }
    return false;
  }
  if (*error == WSAEWOULDBLOCK) {
    if (!event.Select(FD_WRITE)) {
      *error = WSAGetLastError();
      return false;
    }
    if (!event.Wait(timeoutMs)) {
      *error = kTimedOutCode;
      return false;
    }
    const int plain = to ? sendto(socket, bytes, static_cast<int>(length), 0, name, sizeof(*to))
                         : send(socket, bytes, static_cast<int>(length), 0);
    if (plain == SOCKET_ERROR) {
      // Writability was reported, but the room was taken meanwhile: try again while
      // time is left.
      *error = WSAGetLastError();
      if (*error != WSAEWOULDBLOCK) return false;
      *sent = 0;
      return true;
    }
    *sent = static_cast<uint32_t>(plain);
    return true;
  }
  return false;
}

// The end of a failed receive: keeps `error` as the socket's failure unless the stream
// ended in order (or no error is known); returns false.
bool EndedReceive(CEventSocket& socket, bool endedInOrder, int error) {
  if (!endedInOrder && error != 0) socket.NoteFailure(error);
  return false;
}

}  // namespace

// A datagram in one piece, a stream in as many pieces as the system takes, all within
// one time-out.
bool SendWhole(SocketHandle socket, const sockaddr_in* to, const void* buffer, uint32_t length,
               uint32_t* bytesSent, int32_t timeout, int* error) {
  if (buffer == nullptr && length != 0) {
    *error = kInvalidArgumentCode;
    return false;
  }
  const DWORD timeoutMs = static_cast<DWORD>(timeout);
  const char* bytes = static_cast<const char*>(buffer);
  const DWORD start = GetTickCount();
  uint32_t total = 0;
  do {
    uint32_t sent = 0;
    if (!SendPiece(socket, to, bytes + total, length - total, Remaining(start, timeoutMs), &sent,
                   error)) {
      return false;
    }
    total += sent;
    if (total < length && Remaining(start, timeoutMs) == 0) {
      *error = kTimedOutCode;
      return false;
    }
  } while (total < length);
  if (bytesSent) *bytesSent = total;
  return true;
}

bool CloseSocketHandle(SocketHandle handle) { return closesocket(handle) == 0; }

// IPv4 only: Windows 2000 has no IPv6 and XP's is an optional extra, so the program
// never depends on it.
SocketHandle NewSocket(bool stream, bool ipv6) {
  if (ipv6) return kInvalidSocket;
  return WSASocket(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, stream ? IPPROTO_TCP : IPPROTO_UDP,
                   nullptr, 0, WSA_FLAG_OVERLAPPED);
}

bool MakeIPv6Only(SocketHandle, bool) { return false; }
int LastSocketErrorCode() { return WSAGetLastError(); }

// Windows lets a socket with address reuse bind a port on which another socket listens,
// so a listener that must not share its port binds exclusively instead.
int AddressUseOption(CEventSocket::AddressUse use) {
  return use == CEventSocket::kExclusiveAddress ? SO_EXCLUSIVEADDRUSE : SO_REUSEADDR;
}

bool ReceiveReported(SocketHandle handle, long networkEvents, void* buffer, uint32_t capacity,
                     uint32_t* bytesReceived, uint32_t* senderAddress, uint16_t* senderPort,
                     bool* peerClosed, int* error) {
  if (bytesReceived) *bytesReceived = 0;
  if (error) *error = 0;
  // Windows may report the peer's close while bytes sent before it still wait to be
  // received: they are taken first, and the end is reported by a later receive.
  if ((networkEvents & (FD_READ | FD_CLOSE)) == 0) return false;
  const SOCKET socket = static_cast<SOCKET>(handle);
  sockaddr_in sender;
  std::memset(&sender, 0, sizeof(sender));
  int senderLength = sizeof(sender);
  const int result = recvfrom(socket, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                              reinterpret_cast<sockaddr*>(&sender), &senderLength);
  if (result == SOCKET_ERROR) {
    if (error) *error = WSAGetLastError();
    return false;
  }
  if (result == 0 && capacity != 0 && IsStream(socket)) {
    if (peerClosed) *peerClosed = true;
    return false;
  }
  if (bytesReceived) *bytesReceived = static_cast<uint32_t>(result);
  if (senderAddress || senderPort) {
    if (sender.sin_family != AF_INET) {
      // A stream's receive names no sender: it is the connected peer.
      QueryAddress(socket, true, senderAddress, senderPort);
    } else {
      if (senderAddress) *senderAddress = sender.sin_addr.s_addr;
      if (senderPort) *senderPort = ntohs(sender.sin_port);
    }
  }
  return true;
}

bool CEventSocket::SetTimeout(int32_t timeoutMs) {
  if (!IsValid()) return Fail(kNotASocketCode);
  const DWORD value = static_cast<DWORD>(timeoutMs);
  const char* raw = reinterpret_cast<const char*>(&value);
  if (setsockopt(handle_, SOL_SOCKET, SO_SNDTIMEO, raw, sizeof(value)) != 0 ||
      setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, raw, sizeof(value)) != 0) {
    return Fail(WSAGetLastError());
  }
  defaultTimeoutMs_ = timeoutMs;
  return true;
}

bool CEventSocket::AcceptPeer(CEventSocket& target, IpAddress* peerAddress, uint16_t* peerPort,
                              int32_t timeoutMs) {
  if (!IsValid()) return Fail(kNotASocketCode);
  SOCKET accepted = INVALID_SOCKET;
  sockaddr_storage peer;
  std::memset(&peer, 0, sizeof(peer));
  {
    CWaitEvent event(handle_);
    WSANETWORKEVENTS events;
    if (!event.IsValid() || !event.Select(FD_ACCEPT)) return Fail(WSAGetLastError());
    if (!event.Wait(static_cast<DWORD>(timeoutMs))) return Fail(kTimedOutCode);
    if (!event.Enumerate(&events)) return Fail(WSAGetLastError());
    if ((events.lNetworkEvents & FD_ACCEPT) == 0) return Fail(kTimedOutCode);
    if (events.iErrorCode[FD_ACCEPT_BIT] != 0) return Fail(events.iErrorCode[FD_ACCEPT_BIT]);
    int length = sizeof(peer);
    accepted = WSAAccept(handle_, reinterpret_cast<sockaddr*>(&peer), &length, nullptr, 0);
    if (accepted == INVALID_SOCKET) return Fail(WSAGetLastError());
  }
  // The accepted socket inherits the listening socket's event selection, whose event is
  // now closed: end it there too (the socket stays non-blocking).
  WSAEventSelect(accepted, nullptr, 0);
  HandOverAccepted(accepted, peer, &target.handle_, peerAddress, peerPort);
  return true;
}

bool CEventSocket::Connect(const IpAddress& address, uint16_t port, int32_t timeoutMs) {
  SocketAddress remote;
  if (!IsValid()) return Fail(kNotASocketCode);
  if (address.IPv4() == 0 || !MakeSocketAddress(address, port, false, &remote)) {
    return Fail(kInvalidArgumentCode);
  }
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  CWaitEvent event(handle_);
  if (!event.IsValid() || !event.Select(FD_CONNECT)) return Fail(WSAGetLastError());
  if (connect(handle_, remote.Raw(), remote.length) == 0) {
    return true;
  }
  if (WSAGetLastError() != WSAEWOULDBLOCK) return Fail(WSAGetLastError());
  WSANETWORKEVENTS events;
  if (!event.Wait(static_cast<DWORD>(timeoutMs))) return Fail(kTimedOutCode);
  if (!event.Enumerate(&events)) return Fail(WSAGetLastError());
  if ((events.lNetworkEvents & FD_CONNECT) == 0) return Fail(kTimedOutCode);
  const int error = events.iErrorCode[FD_CONNECT_BIT];
  return error == 0 || Fail(error);
}

bool CEventSocket::SendSome(const void* buffer, uint32_t length, uint32_t* bytesSent,
                            int32_t timeoutMs) {
  *bytesSent = 0;
  if (!IsValid()) return Fail(kNotASocketCode);
  if (buffer == nullptr && length != 0) return Fail(kInvalidArgumentCode);
  if (length == 0) return true;
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  // The selection makes the socket non-blocking; FD_WRITE is signalled once there is
  // room again after a send that would have blocked.
  CWaitEvent event(handle_);
  if (!event.IsValid() || !event.Select(FD_WRITE)) return Fail(WSAGetLastError());
  const DWORD start = GetTickCount();
  const char* bytes = static_cast<const char*>(buffer);
  for (;;) {
    const int result = send(handle_, bytes, static_cast<int>(length), 0);
    if (result != SOCKET_ERROR) {
      *bytesSent = static_cast<uint32_t>(result);
      return true;
    }
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK) return Fail(error);
    const DWORD left = Remaining(start, limit);
    if (left == 0 || !event.Wait(left)) return true;  // no room within the time-out
    WSANETWORKEVENTS events;
    if (!event.Enumerate(&events)) return Fail(WSAGetLastError());  // also resets the event
  }
}

bool CEventSocket::ReceiveFrom(void* buffer, uint32_t capacity, uint32_t* bytesReceived,
                               uint32_t* senderAddress, uint16_t* senderPort, int32_t timeoutMs) {
  if (bytesReceived) *bytesReceived = 0;
  endedInOrder_ = false;
  if (!IsValid()) return Fail(kNotASocketCode);
  if (buffer == nullptr && capacity != 0) return Fail(kInvalidArgumentCode);
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  CWaitEvent event(handle_);
  if (!event.IsValid() || !event.Select(FD_READ | FD_CLOSE)) return Fail(WSAGetLastError());
  int error = 0;
  DWORD waited = event.WaitResult(0);
  if (waited == WSA_WAIT_TIMEOUT) {
    // The system reports a stream's close only once: a connection whose end was already
    // reported, and whose bytes have all been taken, fails at once instead of waiting.
    if (StreamHasEnded(handle_, &endedInOrder_, &error)) {
      return EndedReceive(*this, endedInOrder_, error);
    }
    waited = event.WaitResult(static_cast<DWORD>(timeoutMs));
  }
  // A quiet connection is not an error.
  if (waited == WSA_WAIT_TIMEOUT) {
    if (!StreamHasEnded(handle_, &endedInOrder_, &error)) return true;
    return EndedReceive(*this, endedInOrder_, error);
  }
  WSANETWORKEVENTS events;
  if (waited != WSA_WAIT_EVENT_0 || !event.Enumerate(&events)) return Fail(WSAGetLastError());
  if (ReceiveReported(handle_, events.lNetworkEvents, buffer, capacity, bytesReceived,
                      senderAddress, senderPort, &endedInOrder_, &error)) {
    return true;
  }
  return EndedReceive(*this, endedInOrder_, error);
}

bool CEventSocket::PeerHasClosed() const {
  if (!IsValid()) return true;
  // A readable socket does not block the peek, whatever its blocking mode.
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(handle_, &readable);
  timeval now = {0, 0};
  const int ready = select(0, &readable, nullptr, nullptr, &now);
  if (ready == SOCKET_ERROR) return true;
  return ready > 0 && StreamHasEnded(handle_);
}

}  // namespace kestova
