#include "capture/name_service_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "capture/test_support/name_query_frames.h"

namespace kestova {
namespace {

using testing::Address;

TEST(NameServiceFrameTest, QueryFrameHasTheNameServiceShape) {
  const std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  EXPECT_TRUE(IsNameServiceFrame(frame.data(), frame.size()));
  EXPECT_TRUE(IsNameServiceFrame(frame.data(), 38));  // the ports are the last bytes tested
  EXPECT_FALSE(IsNameServiceFrame(frame.data(), 37));
}

TEST(NameServiceFrameTest, FramesOfAnyOtherShapeAreNot) {
  const struct {
    size_t offset;
    uint8_t value;
    const char* what;
  } changes[] = {
      {12, 0x86, "IPv6"},
      {13, 0x06, "ARP"},
      {14, 0x46, "IPv4 options"},
      {14, 0x65, "IP version 6"},
      {15, 0x10, "type of service"},
      {23, 0x06, "TCP"},
      {35, 0x8a, "source 138"},
      {37, 0x8a, "destination 138"},
      {34, 0x01, "source 393"},
  };
  for (const auto& change : changes) {
    std::vector<uint8_t> frame = testing::GrTestQueryFrame();
    frame[change.offset] = change.value;
    EXPECT_FALSE(IsNameServiceFrame(frame.data(), frame.size())) << change.what;
  }
}

TEST(NameServiceFrameTest, BuiltFrameCarriesTheDatagramLikeAReceivedOne) {
  const std::vector<uint8_t> message = testing::GrTestQueryMessage();
  UdpDatagramAddresses addresses;
  addresses.sourceAddress = Address(192, 168, 10, 50);
  addresses.sourcePort = 137;
  addresses.destinationAddress = Address(192, 168, 10, 255);
  addresses.destinationPort = 137;
  std::vector<uint8_t> frame(200, 0xEE);
  const size_t length =
      BuildUdpFrame(addresses, message.data(), message.size(), frame.data(), frame.size());
  ASSERT_EQ(length, 92u);
  frame.resize(length);

  // Equal to the frame captured on the wire from the Ethernet type on, apart from the IPv4
  // identification (and so the header checksum) and the UDP checksum.
  std::vector<uint8_t> expected = testing::GrTestQueryFrame();
  expected[18] = 0;
  expected[19] = 0;
  expected[24] = 0xe4;  // checksum with identification 0
  expected[25] = 0x1d;
  EXPECT_TRUE(std::equal(frame.begin() + 12, frame.end(), expected.begin() + 12));
  EXPECT_TRUE(std::all_of(frame.begin(), frame.begin() + 12, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(IsNameServiceFrame(frame.data(), frame.size()));
}

TEST(NameServiceFrameTest, DatagramsThatDoNotFitAreRefused) {
  const std::vector<uint8_t> message = testing::GrTestQueryMessage();
  std::vector<uint8_t> frame(91);
  EXPECT_EQ(BuildUdpFrame({}, message.data(), message.size(), frame.data(), frame.size()), 0u);
  std::vector<uint8_t> huge(65536);
  std::vector<uint8_t> big(65536 + 64);
  EXPECT_EQ(BuildUdpFrame({}, huge.data(), 65536 - 28 + 1, big.data(), big.size()), 0u);
  EXPECT_EQ(BuildUdpFrame({}, huge.data(), 65536 - 28 - 1, big.data(), big.size()),
            65536u - 28 - 1 + 42);
}

}  // namespace
}  // namespace kestova
