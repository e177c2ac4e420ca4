// Test support: moves the test process into a network namespace of its own, so the Linux
// capture tests can bind port 137, sniff and inject frames on a loopback interface that nothing
// else uses. Needs root (CAP_SYS_ADMIN and CAP_NET_RAW).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestova {
namespace testing {

// On first call: unshares the network namespace (for this thread and the threads it starts
// later), brings "lo" up and adds 192.0.2.1/24 to it, which makes every 192.0.2.x a local
// address reached over lo. Returns "" on success, else why it is not possible (the reason of the
// first call is kept).
std::string EnterPrivateNetwork();

// Sends `frame` out of "lo" through a packet socket; true on success.
bool InjectFrame(const std::vector<uint8_t>& frame);

// A UDP socket bound to `address`:`port` (network order address, host order port); -1 on
// failure.
int BoundUdpSocket(uint32_t address, uint16_t port);

// Waits up to `timeoutMs` for one datagram; its bytes, empty on time-out.
std::vector<uint8_t> ReceiveDatagram(int fd, int timeoutMs, uint32_t* sourceAddress = nullptr);

}  // namespace testing
}  // namespace kestova
