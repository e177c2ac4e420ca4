// The parts of CEventSocket that read the same on every system: holding, handing over
// and closing the handle, listening, addresses and their texts, connecting by name.
#include "net/event_socket.h"
#include "net/host.h"
#include "net/socket_system.h"

namespace kestova {

namespace {

void StoreTexts(uint32_t address, uint16_t port, CCountedString* addressText,
                CCountedString* portText) {
  if (addressText) *addressText = AddressText(address);
  if (portText) *portText = CCountedString::Format("%d", static_cast<int>(port));
}

}  // namespace

CEventSocket::CEventSocket() : handle_(kInvalidSocket), defaultTimeoutMs_(0) {}

bool CEventSocket::Create(Type type, uint16_t localPort, int32_t timeoutMs, AddressUse addressUse) {
  if (IsValid()) {
    CloseSocketHandle(handle_);  // forgotten whether or not the close succeeded
    handle_ = kInvalidSocket;
  }
  const SocketHandle handle = NewSocket(type == kStream);
  if (handle == kInvalidSocket) {
    lastError_ = SystemErrorOf(LastSocketErrorCode());
    return false;
  }
  handle_ = handle;
  const int on = 1;
  const sockaddr_in local = MakeAddress(htonl(INADDR_ANY), localPort);
  if (!SetTimeout(timeoutMs) ||
      setsockopt(handle, SOL_SOCKET, AddressUseOption(addressUse),
                 reinterpret_cast<const char*>(&on), sizeof(on)) != 0 ||
      bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    lastError_ = SystemErrorOf(LastSocketErrorCode());
    CloseSocketHandle(handle);
    handle_ = kInvalidSocket;
    return false;
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
  if (!IsValid()) return false;
  if (listen(handle_, backlog) == 0) return true;
  lastError_ = SystemErrorOf(LastSocketErrorCode());
  return false;
}

bool CEventSocket::GetLocalAddress(uint32_t* address, uint16_t* port) const {
  return QueryAddress(handle_, false, address, port);
}

bool CEventSocket::GetPeerAddress(uint32_t* address, uint16_t* port) const {
  return QueryAddress(handle_, true, address, port);
}

// A name that cannot be resolved fails before any connection is attempted.
bool CEventSocket::ConnectByName(const char* host, uint16_t port, int32_t timeoutMs) {
  if (!IsValid()) return false;
  const uint32_t address = ResolveHost(host);
  return address != 0 && Connect(address, port, timeoutMs);
}

bool CEventSocket::GetLocalAddressText(CCountedString* address, CCountedString* port) const {
  uint32_t value = 0;
  uint16_t number = 0;
  if (!GetLocalAddress(&value, &number)) return false;
  StoreTexts(value, number, address, port);
  return true;
}

bool CEventSocket::GetPeerAddressText(CCountedString* address, CCountedString* port) const {
  uint32_t value = 0;
  uint16_t number = 0;
  if (!GetPeerAddress(&value, &number)) return false;
  StoreTexts(value, number, address, port);
  return true;
}

}  // namespace kestova
