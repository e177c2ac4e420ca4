#include "capture/win32/datagram_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capture/name_service_frame.h"

namespace kestova {
namespace {

// An IPv4 packet (20-byte header) holding a UDP datagram with `payload` bytes.
std::vector<uint8_t> Ipv4Udp(uint16_t sourcePort, uint16_t destinationPort, size_t payload) {
  std::vector<uint8_t> packet(28 + payload, 0x5A);
  std::memset(packet.data(), 0, 28);
  packet[0] = 0x45;
  packet[9] = 17;
  packet[20] = static_cast<uint8_t>(sourcePort >> 8);
  packet[21] = static_cast<uint8_t>(sourcePort);
  packet[22] = static_cast<uint8_t>(destinationPort >> 8);
  packet[23] = static_cast<uint8_t>(destinationPort);
  return packet;
}

TEST(DatagramFrame, RawPacketsAreKeptExactlyAsTheDriverFilterKeepsFrames) {
  struct Case {
    const char* what;
    std::vector<uint8_t> packet;
    bool kept;
  };
  std::vector<uint8_t> options = Ipv4Udp(137, 137, 50);
  options[0] = 0x46;
  std::vector<uint8_t> typeOfService = Ipv4Udp(137, 137, 50);
  typeOfService[1] = 0x10;
  std::vector<uint8_t> tcp = Ipv4Udp(137, 137, 50);
  tcp[9] = 6;
  const Case cases[] = {
      {"name query", Ipv4Udp(137, 137, 50), true},
      {"one payload byte (43-byte frame)", Ipv4Udp(137, 137, 1), true},
      {"no payload (42-byte frame)", Ipv4Udp(137, 137, 0), false},
      {"to port 138", Ipv4Udp(137, 138, 50), false},
      {"from another port", Ipv4Udp(1024, 137, 50), false},
      {"IPv4 options", options, false},
      {"type of service", typeOfService, false},
      {"TCP", tcp, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> frame(kEthernetHeaderLength + c.packet.size());
    const size_t length =
        FrameFromIpv4Packet(c.packet.data(), c.packet.size(), frame.data(), frame.size());
    ASSERT_EQ(length, frame.size()) << c.what;
    EXPECT_EQ(frame[12], 0x08) << c.what;
    EXPECT_EQ(frame[13], 0x00) << c.what;
    EXPECT_EQ(0,
              std::memcmp(frame.data() + kEthernetHeaderLength, c.packet.data(), c.packet.size()))
        << c.what;
    EXPECT_EQ(PassesDriverFilter(frame.data(), length), c.kept) << c.what;
  }
}

TEST(DatagramFrame, APacketThatDoesNotFitIsRefused) {
  const std::vector<uint8_t> packet = Ipv4Udp(137, 137, 50);
  std::vector<uint8_t> frame(kEthernetHeaderLength + packet.size() - 1);
  EXPECT_EQ(FrameFromIpv4Packet(packet.data(), packet.size(), frame.data(), frame.size()), 0u);
  EXPECT_EQ(FrameFromIpv4Packet(packet.data(), packet.size(), frame.data(), 3), 0u);
}

TEST(DatagramFrame, SocketDatagramsAreKeptOnlyFromPort137) {
  const uint8_t payload[50] = {1, 2, 3};
  uint8_t frame[kUdpPayloadOffset + sizeof payload];
  UdpDatagramAddresses addresses;
  addresses.destinationPort = 137;
  for (uint16_t port : {137, 138, 5000}) {
    addresses.sourcePort = port;
    const size_t length = BuildUdpFrame(addresses, payload, sizeof payload, frame, sizeof frame);
    ASSERT_EQ(length, sizeof frame);
    EXPECT_EQ(PassesDriverFilter(frame, length), port == 137) << port;
  }
}

}  // namespace
}  // namespace kestova
