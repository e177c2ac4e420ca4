// The parts of CEventSocket that need no system call of their own: connecting by name
// and the text forms of addresses.
#include "net/event_socket.h"
#include "net/host.h"

namespace kestova {

namespace {

void StoreTexts(uint32_t address, uint16_t port, CCountedString* addressText,
                CCountedString* portText) {
  if (addressText) *addressText = AddressText(address);
  if (portText) *portText = CCountedString::Format("%d", static_cast<int>(port));
}

}  // namespace

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
