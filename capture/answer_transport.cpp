#include "capture/answer_transport.h"

#include <cstring>

#include "base/counted_string.h"
#include "capture/nbns_message.h"
#include "net/event_socket.h"
#include "net/host.h"

namespace kestova {

bool IsUsableAnswerAddress(uint32_t address) {
  uint8_t octets[4];
  std::memcpy(octets, &address, 4);
  if (address == 0) return false;
  if (octets[0] == 127) return false;  // loopback
  if (octets[0] >= 224) return false;  // multicast, reserved and 255.255.255.255
  return true;
}

uint32_t ChooseAnswerAddress(uint32_t routeAddress, uint32_t resolverAddress) {
  if (IsUsableAnswerAddress(routeAddress)) return routeAddress;
  if (IsUsableAnswerAddress(resolverAddress)) return resolverAddress;
  return 0;
}

uint32_t CSocketAnswerTransport::AddressToAnnounce(uint32_t querier) {
  const uint32_t route = LocalAddressTowards(querier);
  if (IsUsableAnswerAddress(route)) return route;
  const CCountedString hostName = LocalHostName();
  const uint32_t resolved = hostName.IsEmpty() ? 0 : ResolveHostAddress(hostName.CStr());
  return ChooseAnswerAddress(route, resolved);
}

bool CSocketAnswerTransport::SendToNameService(uint32_t querier, const uint8_t* message,
                                               uint32_t length, SystemError* why) {
  CEventSocket socket;
  const bool sent = socket.Create(CEventSocket::kDatagram, 0, kSendTimeoutMs) &&
                    socket.SendTo(querier, kNameServicePort, message, length);
  if (!sent) *why = socket.LastError();
  socket.Close();
  return sent;
}

bool CSocketAnswerTransport::CanOpenSocket() {
  CEventSocket socket;
  const bool opened = socket.Create(CEventSocket::kDatagram, 0, kSendTimeoutMs);
  socket.Close();
  return opened;
}

}  // namespace kestova
