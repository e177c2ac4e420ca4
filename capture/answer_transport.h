// The production IAnswerTransport: announces the local address through which the querier is
// reached and sends every answer from a fresh UDP socket.
#pragma once

#include <cstdint>

#include "capture/name_responder.h"

namespace kestova {

// True for an address worth announcing to a recorder: not 0.0.0.0, not loopback (127/8, which
// is what the host name often resolves to on Linux), not multicast or broadcast.
// Network byte order.
bool IsUsableAnswerAddress(uint32_t address);

// The address to announce: `routeAddress` (the source the system would use towards the
// querier) when usable, else `resolverAddress` (the first address of the host name) when
// usable, else 0.
uint32_t ChooseAnswerAddress(uint32_t routeAddress, uint32_t resolverAddress);

class CSocketAnswerTransport : public IAnswerTransport {
 public:
  // Time-out of the answer socket: its default, used by the send.
  static constexpr int32_t kSendTimeoutMs = 10000;

  // Asks the route towards the querier, then the host name's first resolver address.
  uint32_t AddressToAnnounce(uint32_t querier) override;
  // Creates a UDP socket on any local port, sends the datagram to port 137 of `querier` and
  // closes the socket; false (nothing sent) when the socket cannot be created or the send fails.
  bool SendToNameService(uint32_t querier, const uint8_t* message, uint32_t length,
                         SystemError* why) override;
  // Opens and closes a UDP socket.
  bool CanOpenSocket() override;
};

}  // namespace kestova
