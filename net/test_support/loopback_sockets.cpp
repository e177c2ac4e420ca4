#include "net/test_support/loopback_sockets.h"

#include <cstring>

namespace kestova {
namespace testing {

uint32_t Loopback() {
  const unsigned char bytes[4] = {127, 0, 0, 1};
  uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof(address));
  return address;
}

uint16_t LocalPort(const CEventSocket& socket) {
  uint16_t port = 0;
  return socket.GetLocalAddress(nullptr, &port) ? port : 0;
}

uint16_t StartListener(CEventSocket& listener) {
  if (!listener.Create(CEventSocket::kStream, 0, 1000) || !listener.Listen(5)) return 0;
  return LocalPort(listener);
}

bool ConnectPair(CEventSocket& client, CEventSocket& server) {
  CEventSocket listener;
  const uint16_t port = StartListener(listener);
  const bool connected = port != 0 && client.Create(CEventSocket::kStream, 0, 1000) &&
                         client.Connect(Loopback(), port, 3000) &&
                         listener.Accept(server, nullptr, nullptr, 3000);
  listener.Close();
  return connected;
}

uint16_t RefusingPort() {
  CEventSocket listener;
  const uint16_t port = StartListener(listener);
  listener.Close();
  return port;
}

}  // namespace testing
}  // namespace kestova
