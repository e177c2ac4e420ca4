#include "capture/answer_transport.h"

#include <gtest/gtest.h>

#include "capture/test_support/name_query_frames.h"
#include "net/host.h"

namespace kestova {
namespace {

using testing::Address;

TEST(AnswerAddressTest, OnlyAddressesARecorderCanReachAreUsable) {
  EXPECT_TRUE(IsUsableAnswerAddress(Address(192, 168, 10, 20)));
  EXPECT_TRUE(IsUsableAnswerAddress(Address(10, 0, 0, 1)));
  EXPECT_TRUE(IsUsableAnswerAddress(Address(169, 254, 3, 4)));
  EXPECT_TRUE(IsUsableAnswerAddress(Address(223, 255, 255, 254)));
  EXPECT_FALSE(IsUsableAnswerAddress(0));
  EXPECT_FALSE(IsUsableAnswerAddress(Address(127, 0, 0, 1)));
  EXPECT_FALSE(IsUsableAnswerAddress(Address(127, 0, 1, 1)));
  EXPECT_FALSE(IsUsableAnswerAddress(Address(224, 0, 0, 1)));
  EXPECT_FALSE(IsUsableAnswerAddress(Address(255, 255, 255, 255)));
}

TEST(AnswerAddressTest, RouteTowardsTheQuerierComesBeforeTheResolver) {
  const uint32_t lan = Address(192, 168, 10, 20);
  const uint32_t vpn = Address(10, 8, 0, 2);
  EXPECT_EQ(ChooseAnswerAddress(lan, vpn), lan);
  EXPECT_EQ(ChooseAnswerAddress(0, vpn), vpn);
  EXPECT_EQ(ChooseAnswerAddress(Address(127, 0, 0, 1), vpn), vpn);
  // The host name resolving to 127.0.1.1 and no route: nothing to announce.
  EXPECT_EQ(ChooseAnswerAddress(0, Address(127, 0, 1, 1)), 0u);
  EXPECT_EQ(ChooseAnswerAddress(0, 0), 0u);
}

TEST(AnswerAddressTest, SocketTransportNeverAnnouncesLoopbackOrNothingUsable) {
  ASSERT_TRUE(StartSocketLibrary());
  CSocketAnswerTransport transport;
  // A querier on loopback is reached through 127.0.0.1, which a recorder cannot use: the
  // transport then falls back to the host name's address, or announces nothing.
  const uint32_t announced = transport.AddressToAnnounce(Address(127, 0, 0, 1));
  EXPECT_TRUE(announced == 0 || IsUsableAnswerAddress(announced)) << AddressText(announced).CStr();
}

}  // namespace
}  // namespace kestova
