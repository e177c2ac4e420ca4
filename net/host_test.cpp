#include "net/host.h"

#include <gtest/gtest.h>

#include <cstring>

#include "net/dotted_quad.h"

namespace kestova {
namespace {

uint32_t Address(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
  const unsigned char bytes[4] = {a, b, c, d};
  uint32_t address = 0;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartSocketLibrary()); }
};

TEST_F(HostTest, DottedQuadsParseStrictlyAndPrintBack) {
  uint32_t address = 0;
  ASSERT_TRUE(ParseDottedQuad("192.168.0.254", &address));
  EXPECT_EQ(address, Address(192, 168, 0, 254));
  EXPECT_EQ(AddressText(address), "192.168.0.254");
  ASSERT_TRUE(ParseDottedQuad("255.255.255.255", &address));
  EXPECT_EQ(address, 0xFFFFFFFFu);
  EXPECT_EQ(AddressText(Address(0, 0, 0, 0)), "0.0.0.0");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..3.4",
                          "1.2.3.0004", "a.b.c.d", "1.2.3.-4"}) {
    EXPECT_FALSE(ParseDottedQuad(bad, &address)) << bad;
  }
  EXPECT_FALSE(ParseDottedQuad(nullptr, &address));
}

TEST_F(HostTest, ResolvesDottedQuadsAndLocalhost) {
  EXPECT_EQ(ResolveHostAddress("10.1.2.3"), Address(10, 1, 2, 3));
  EXPECT_EQ(ResolveHostAddress(""), 0u);
  EXPECT_EQ(ResolveHostAddress(nullptr), 0u);
  const uint32_t localhost = ResolveHostAddress("localhost");
  unsigned char first = 0;
  std::memcpy(&first, &localhost, 1);
  EXPECT_EQ(first, 127) << AddressText(localhost).CStr();
}

TEST_F(HostTest, TheRouteToLoopbackStartsAtLoopback) {
  EXPECT_EQ(LocalAddressTowards(Address(127, 0, 0, 1)), Address(127, 0, 0, 1));
  EXPECT_EQ(LocalAddressTowards(0), 0u);
}

TEST_F(HostTest, TheHostHasAName) { EXPECT_FALSE(LocalHostName().IsEmpty()); }

}  // namespace
}  // namespace kestova
