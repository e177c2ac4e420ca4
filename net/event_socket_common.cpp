// The parts of CEventSocket that read the same on every system: holding, handing over
// and closing the handle, listening, addresses and their texts, connecting by name, and
// keeping the system's reason of a failure.
#include "net/event_socket.h"
#include "net/host.h"
#include "net/socket_system.h"

namespace kestova {

namespace {

void StoreTexts(const IpAddress& address, uint16_t port, CCountedString* addressText,
                CCountedString* portText) {
  if (addressText) *addressText = IpAddressText(address);
  if (portText) *portText = CCountedString::Format("%d", static_cast<int>(port));
}

}  // namespace

CEventSocket::CEventSocket() : handle_(kInvalidSocket), defaultTimeoutMs_(0) {}

bool CEventSocket::Create(Type type, uint16_t localPort, int32_t timeoutMs, AddressUse addressUse) {
  if (type == kStream) {
    return CreateStream(IpAddress::FromIPv4(htonl(INADDR_ANY)), localPort, timeoutMs, addressUse);
  }
  if (IsValid()) {
    CloseSocketHandle(handle_);  // forgotten whether or not the close succeeded
    handle_ = kInvalidSocket;
  }
  const SocketHandle handle = NewSocket(false);
  if (handle == kInvalidSocket) {
    return Fail(LastSocketErrorCode());
  }
  handle_ = handle;
  const int on = 1;
  const sockaddr_in local = MakeAddress(htonl(INADDR_ANY), localPort);
  if (!SetTimeout(timeoutMs) ||
      setsockopt(handle, SOL_SOCKET, AddressUseOption(addressUse),
                 reinterpret_cast<const char*>(&on), sizeof(on)) != 0 ||
      bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    const int error = LastSocketErrorCode();  // before the close can change it
    CloseSocketHandle(handle);
    handle_ = kInvalidSocket;
    return Fail(error);
  }
  return true;
}

bool CEventSocket::CreateStream(const IpAddress& local, uint16_t localPort, int32_t timeoutMs,
                                AddressUse addressUse) {
  if (IsValid()) {
    CloseSocketHandle(handle_);  // forgotten whether or not the close succeeded
    handle_ = kInvalidSocket;
  }
  // The wildcard of both families where the system has IPv6, else IPv4's wildcard.
  bool ipv6 = !local.IsIPv4();
  SocketHandle handle = NewSocket(true, ipv6);
  IpAddress bound = local;
  if (handle == kInvalidSocket && local.IsAny()) {
    ipv6 = false;
    bound = IpAddress::FromIPv4(htonl(INADDR_ANY));
    handle = NewSocket(true, false);
  }
  if (handle == kInvalidSocket) {
    return Fail(LastSocketErrorCode());
  }
  handle_ = handle;
  const int on = 1;
  SocketAddress name;
  if (!MakeSocketAddress(bound, localPort, ipv6, &name) ||
      (ipv6 && !MakeIPv6Only(handle, !local.IsAny())) || !SetTimeout(timeoutMs) ||
      setsockopt(handle, SOL_SOCKET, AddressUseOption(addressUse),
                 reinterpret_cast<const char*>(&on), sizeof(on)) != 0 ||
      bind(handle, name.Raw(), name.length) != 0) {
    const int error = LastSocketErrorCode();  // before the close can change it
    CloseSocketHandle(handle);
    handle_ = kInvalidSocket;
    return Fail(error);
  }
  return true;
}

bool CEventSocket::Attach(SocketHandle handle) {
  if (IsValid() && !CloseSocketHandle(handle_)) return false;
  handle_ = handle;
  return true;
}

SocketHandle CEventSocket::Detach() {
  const SocketHandle handle = handle_;
  handle_ = kInvalidSocket;
  return handle;
}

bool CEventSocket::Close() {
  if (!IsValid()) return true;
  if (!CloseSocketHandle(handle_)) return false;
  handle_ = kInvalidSocket;
  return true;
}

bool CEventSocket::IsValid() const { return handle_ != kInvalidSocket; }

bool CEventSocket::Listen(int backlog) {
  if (!IsValid()) return Fail(kNotASocketCode);
  if (listen(handle_, backlog) == 0) return true;
  return Fail(LastSocketErrorCode());
}

void CEventSocket::NoteFailure(int code) { lastError_ = SystemErrorOf(code); }

bool CEventSocket::Fail(int code) {
  NoteFailure(code);
  return false;
}

bool CEventSocket::GetLocalAddress(uint32_t* address, uint16_t* port) const {
  return QueryAddress(handle_, false, address, port);
}

bool CEventSocket::GetPeerAddress(uint32_t* address, uint16_t* port) const {
  return QueryAddress(handle_, true, address, port);
}

bool CEventSocket::GetLocalIpAddress(IpAddress* address, uint16_t* port) const {
  return QueryAddress(handle_, false, address, port);
}

bool CEventSocket::GetPeerIpAddress(IpAddress* address, uint16_t* port) const {
  return QueryAddress(handle_, true, address, port);
}

bool CEventSocket::Accept(CEventSocket& target, uint32_t* peerAddress, uint16_t* peerPort,
                          int32_t timeoutMs) {
  IpAddress peer;
  if (!AcceptPeer(target, &peer, peerPort, timeoutMs)) return false;
  if (peerAddress) *peerAddress = peer.IPv4();
  return true;
}

bool CEventSocket::Connect(uint32_t address, uint16_t port, int32_t timeoutMs) {
  if (address == 0) return Fail(kInvalidArgumentCode);
  return Connect(IpAddress::FromIPv4(address), port, timeoutMs);
}

// A name that cannot be resolved fails before any connection is attempted.
bool CEventSocket::ConnectByName(const char* host, uint16_t port, int32_t timeoutMs) {
  if (!IsValid()) return Fail(kNotASocketCode);
  const uint32_t address = ResolveHost(host);
  if (address == 0) return Fail(kInvalidArgumentCode);
  return Connect(address, port, timeoutMs);
}

bool CEventSocket::GetLocalAddressText(CCountedString* address, CCountedString* port) const {
  IpAddress value;
  uint16_t number = 0;
  if (!GetLocalIpAddress(&value, &number)) return false;
  StoreTexts(value, number, address, port);
  return true;
}

bool CEventSocket::GetPeerAddressText(CCountedString* address, CCountedString* port) const {
  IpAddress value;
  uint16_t number = 0;
  if (!GetPeerIpAddress(&value, &number)) return false;
  StoreTexts(value, number, address, port);
  return true;
}

bool CEventSocket::Send(const void* buffer, uint32_t length, uint32_t* bytesSent,
                        int32_t timeoutMs) {
  if (bytesSent) *bytesSent = 0;
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  if (!IsValid()) return Fail(kNotASocketCode);
  int error = 0;
  return SendWhole(handle_, nullptr, buffer, length, bytesSent, timeoutMs, &error) || Fail(error);
}

bool CEventSocket::SendTo(uint32_t address, uint16_t port, const void* buffer, uint32_t length,
                          uint32_t* bytesSent, int32_t timeoutMs) {
  if (bytesSent) *bytesSent = 0;
  if (timeoutMs == 0) timeoutMs = defaultTimeoutMs_;
  const sockaddr_in remote = MakeAddress(address, port);
  if (!IsValid()) return Fail(kNotASocketCode);
  int error = 0;
  return SendWhole(handle_, &remote, buffer, length, bytesSent, timeoutMs, &error) || Fail(error);
}

}  // namespace kestova
