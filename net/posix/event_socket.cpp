// CEventSocket on POSIX: non-blocking calls and poll().
//
// Every timed step tries the call first without blocking and, only on a would-block
// result, waits with poll() for at most the rest of its time-out. Sends and receives ask
// for that per call (MSG_DONTWAIT), so a block that is ready costs one system call and
// the socket's own mode is never changed for them; Connect and Accept make the socket
// non-blocking (accepted sockets are born so). The observable results
// are those of the Windows body: a receive that times out succeeds with 0 bytes, a
// peer's close fails the receive only after every byte sent before it was delivered,
// and a send succeeds only when the whole buffer went out within its time-out.
#include "net/event_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>

#include "net/posix/socket_wait.h"
#include "net/socket_system.h"

namespace kestova {

const SocketHandle kInvalidSocket = -1;

namespace {

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// The error the socket holds (SO_ERROR, which reading clears); 0 when it holds none.
int PendingError(int fd) {
  int error = 0;
  socklen_t length = sizeof(error);
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

}  // namespace

// A stream piece by piece until the whole buffer is out, a datagram in one piece.
bool SendWhole(SocketHandle fd, const sockaddr_in* to, const void* buffer, uint32_t length,
               uint32_t* bytesSent, int32_t timeoutMs, int* error) {
  if (buffer == nullptr && length != 0) {
    *error = kInvalidArgumentCode;
    return false;
  }
  const Deadline deadline(timeoutMs);
  const sockaddr* name = reinterpret_cast<const sockaddr*>(to);
  const socklen_t nameLength = to ? sizeof(*to) : 0;
  const char* bytes = static_cast<const char*>(buffer);
  uint32_t sent = 0;
  do {
    const ssize_t result =
        sendto(fd, bytes + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT, name, nameLength);
    if (result >= 0) {
      sent += static_cast<uint32_t>(result);
      continue;
    }
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) {
      *error = errno;
      return false;
    }
    const int events = deadline.Remaining() == 0 ? 0 : WaitFor(fd, POLLOUT, deadline);
    if (events <= 0) {
      *error = events < 0 ? errno : kTimedOutCode;
      return false;
    }
  } while (sent < length);
  if (bytesSent) *bytesSent = sent;
  return true;
}

// close() that failed only by an interruption has still released the descriptor (Linux),
// so retrying it could close a descriptor opened meanwhile elsewhere; it counts as closed.
bool CloseSocketHandle(SocketHandle handle) { return close(handle) == 0 || errno == EINTR; }

SocketHandle NewSocket(bool stream, bool ipv6) {
  const int fd =
      socket(ipv6 ? AF_INET6 : AF_INET, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC,
             stream ? IPPROTO_TCP : IPPROTO_UDP);
  if (fd < 0) return kInvalidSocket;
  // Dual-stack whatever the system's default (net.ipv6.bindv6only) says.
  if (ipv6 && !MakeIPv6Only(fd, false)) {
    close(fd);
    return kInvalidSocket;
  }
  return fd;
}

bool MakeIPv6Only(SocketHandle handle, bool only) {
  const int value = only ? 1 : 0;
  return setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &value, sizeof(value)) == 0;
}

int LastSocketErrorCode() { return errno; }

// Address reuse on POSIX already refuses to bind a port on which a socket listens, so
// both address uses set it.
int AddressUseOption(CEventSocket::AddressUse) { return SO_REUSEADDR; }

bool CEventSocket::SetTimeout(int32_t timeoutMs) {
  if (!IsValid()) return Fail(kNotASocketCode);
  // Sends and receives never block on the socket, so these limits matter only to code
  // that borrows the handle; they are set for the same reason the Windows body sets them.
  const int32_t ms = timeoutMs < 0 ? 0 : timeoutMs;
  timeval limit;
  limit.tv_sec = ms / 1000;
  limit.tv_usec = (ms % 1000) * 1000;
  if (setsockopt(handle_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) != 0 ||
      setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit)) != 0) {
    return Fail(errno);
  }
  defaultTimeoutMs_ = timeoutMs;
  return true;
}

bool CEventSocket::AcceptPeer(CEventSocket& target, IpAddress* peerAddress, uint16_t* peerPort,
                              int32_t timeoutMs) {
  if (!IsValid()) return Fail(kNotASocketCode);
  if (!MakeNonBlocking(handle_)) return Fail(errno);
  const int events = WaitFor(handle_, POLLIN, Deadline(timeoutMs));
  if (events < 0) return Fail(errno);
  if (events == 0) return Fail(kTimedOutCode);
  if ((events & POLLIN) == 0) return Fail(PendingError(handle_));
  sockaddr_storage peer;
  std::memset(&peer, 0, sizeof(peer));
  socklen_t length = sizeof(peer);
  const int fd =
      accept4(handle_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return Fail(errno);
  HandOverAccepted(fd, peer, &target.handle_, peerAddress, peerPort);
  return true;
}

bool CEventSocket::Connect(const IpAddress& address, uint16_t port, int32_t timeoutMs) {
  SocketAddress remote;
  if (!IsValid()) return Fail(kNotASocketCode);
  if (address.IsAny() || address == IpAddress::FromIPv4(0) ||
      !MakeSocketAddress(address, port, IsIPv6Socket(handle_), &remote)) {
    return Fail(kInvalidArgumentCode);
  }
  if (!MakeNonBlocking(handle_)) return Fail(errno);
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  const Deadline deadline(timeoutMs);
  if (connect(handle_, remote.Raw(), remote.length) == 0) {
    return true;
  }
  if (errno != EINPROGRESS && errno != EINTR) return Fail(errno);
  const int events = WaitFor(handle_, POLLOUT, deadline);
  if (events < 0) return Fail(errno);
  if (events == 0) return Fail(kTimedOutCode);
  const int error = PendingError(handle_);
  return error == 0 || Fail(error);
}

bool CEventSocket::SendSome(const void* buffer, uint32_t length, uint32_t* bytesSent,
                            int32_t timeoutMs) {
  *bytesSent = 0;
  if (!IsValid()) return Fail(kNotASocketCode);
  if (buffer == nullptr && length != 0) return Fail(kInvalidArgumentCode);
  if (length == 0) return true;
  const Deadline deadline(timeoutMs == 0 ? defaultTimeoutMs_ : timeoutMs);
  for (;;) {
    const ssize_t result = send(handle_, buffer, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (result >= 0) {
      *bytesSent = static_cast<uint32_t>(result);
      return true;
    }
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) return Fail(errno);
    const int events = WaitFor(handle_, POLLOUT, deadline);
    if (events == 0) return true;  // no room within the time-out
    if (events < 0) return Fail(errno);
  }
}

bool CEventSocket::ReceiveFrom(void* buffer, uint32_t capacity, uint32_t* bytesReceived,
                               uint32_t* senderAddress, uint16_t* senderPort, int32_t timeoutMs) {
  if (bytesReceived) *bytesReceived = 0;
  endedInOrder_ = false;
  if (!IsValid()) return Fail(kNotASocketCode);
  if (buffer == nullptr && capacity != 0) return Fail(kInvalidArgumentCode);
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  const Deadline deadline(timeoutMs);
  // Data still queued before a close is returned first; the close itself shows as a
  // receive of 0 bytes. The receive is tried before any wait: under load the bytes are
  // nearly always there already. (A receive of 0 bytes cannot tell data from a quiet
  // connection, so it waits first.)
  sockaddr_in sender;
  iovec piece = {buffer, capacity};
  msghdr message;
  bool waited = false;
  ssize_t result;
  for (;;) {
    if (capacity == 0 && !waited) {
      result = -1;
      errno = EAGAIN;
    } else {
      std::memset(&sender, 0, sizeof(sender));
      std::memset(&message, 0, sizeof(message));
      message.msg_name = &sender;
      message.msg_namelen = sizeof(sender);
      message.msg_iov = &piece;
      message.msg_iovlen = 1;
      result = recvmsg(handle_, &message, MSG_DONTWAIT);
    }
    if (result >= 0) break;
    if (errno == EINTR) continue;
    if (!WouldBlock(errno)) return Fail(errno);
    if (waited) return true;  // a false alarm reads as a quiet connection
    // Readable, hung up or in error: the next receive tells which.
    const int events = WaitFor(handle_, POLLIN, deadline);
    if (events == 0) return true;  // a quiet connection is not an error
    if (events < 0) return Fail(errno);
    waited = true;
  }
  if (result == 0 && capacity != 0 && IsStream(handle_)) {  // the peer closed
    endedInOrder_ = true;
    return false;
  }
  // A datagram longer than the buffer is lost, as on Windows, rather than cut.
  if ((message.msg_flags & MSG_TRUNC) != 0) return Fail(kMessageTooLongCode);
  if (bytesReceived) *bytesReceived = static_cast<uint32_t>(result);
  if (senderAddress || senderPort) {
    if (message.msg_namelen < sizeof(sender) || sender.sin_family != AF_INET) {
      // A stream's receive names no sender: it is the connected peer.
      QueryAddress(handle_, true, senderAddress, senderPort);
    } else {
      if (senderAddress) *senderAddress = sender.sin_addr.s_addr;
      if (senderPort) *senderPort = ntohs(sender.sin_port);
    }
  }
  return true;
}

bool CEventSocket::PeerHasClosed() const {
  if (!IsValid()) return true;
  char byte;
  ssize_t result;
  do {
    result = recv(handle_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (result < 0 && errno == EINTR);
  return result == 0 || (result < 0 && !WouldBlock(errno));
}

}  // namespace kestova
