// IpAddress texts both ways, and a dual-stack listener that takes IPv4 and IPv6 peers.
#include "net/ip_address.h"

#include <gtest/gtest.h>

#include "net/event_socket.h"
#include "net/host.h"

namespace kestova {
namespace {

TEST(IpAddressTest, TextsReadBackToTheSameAddress) {
  const struct {
    const char* text;
    const char* written;  // RFC 5952 form
    bool ipv4;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", true},
      {"::1", "::1", false},
      {"::", "::", false},
      {"2001:DB8:0:0:1:0:0:1", "2001:db8::1:0:0:1", false},
      {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1", false},
      {"fe80::1:2", "fe80::1:2", false},
      {"::ffff:192.168.0.9", "192.168.0.9", true},
      {"1:0:0:2:0:0:0:3", "1:0:0:2::3", false},
  };
  for (const auto& c : cases) {
    IpAddress address;
    ASSERT_TRUE(ParseIpAddress(c.text, &address)) << c.text;
    EXPECT_EQ(IpAddressText(address), c.written) << c.text;
    EXPECT_EQ(address.IsIPv4(), c.ipv4) << c.text;
    IpAddress again;
    ASSERT_TRUE(ParseIpAddress(IpAddressText(address).CStr(), &again));
    EXPECT_TRUE(again == address) << c.text;
  }
}

TEST(IpAddressTest, MalformedTextsAreRefused) {
  for (const char* text :
       {"", "1", "1.2.3", "1.2.3.256", ":::", "1::2::3", "12345::", "1:2:3:4:5:6:7",
        "1:2:3:4:5:6:7:8:9", "[::1]", "::1%lo", "g::", "1:", ":1", "::1.2.3"}) {
    IpAddress address;
    EXPECT_FALSE(ParseIpAddress(text, &address)) << text;
  }
}

TEST(IpAddressTest, EndpointsBracketIPv6) {
  IpAddress v6;
  ASSERT_TRUE(ParseIpAddress("::1", &v6));
  EXPECT_EQ(IpEndpointText(v6, 21), "[::1]:21");
  IpAddress v4;
  ASSERT_TRUE(ParseIpAddress("127.0.0.1", &v4));
  EXPECT_EQ(IpEndpointText(v4, 21), "127.0.0.1:21");
}

// Accepts one connection from a client bound to `from`; the peer the listener saw.
bool AcceptFrom(CEventSocket& listener, uint16_t port, const IpAddress& from, IpAddress* peer) {
  CEventSocket client;
  CEventSocket server;
  const bool accepted = client.CreateStream(from, 0, 3000) && client.Connect(from, port, 3000) &&
                        listener.AcceptPeer(server, peer, nullptr, 3000);
  client.Close();
  server.Close();
  return accepted;
}

TEST(IpAddressTest, TheWildcardListenerTakesBothFamilies) {
  ASSERT_TRUE(StartSocketLibrary());
  CEventSocket listener;
  ASSERT_TRUE(listener.CreateStream(IpAddress::AnyAddress(), 0, 3000));
  ASSERT_TRUE(listener.Listen(4));
  uint16_t port = 0;
  ASSERT_TRUE(listener.GetLocalIpAddress(nullptr, &port));
  IpAddress v4;
  IpAddress peer;
  ASSERT_TRUE(ParseIpAddress("127.0.0.1", &v4));
  ASSERT_TRUE(AcceptFrom(listener, port, v4, &peer));
  EXPECT_EQ(IpAddressText(peer), "127.0.0.1");

  IpAddress v6;
  ASSERT_TRUE(ParseIpAddress("::1", &v6));
  CEventSocket probe;
  const bool hasIPv6 = probe.CreateStream(v6, 0, 1000);
  probe.Close();
  if (!hasIPv6) {
    listener.Close();
    GTEST_SKIP() << "no IPv6 loopback here (always so on Windows)";
  }
  ASSERT_TRUE(AcceptFrom(listener, port, v6, &peer));
  EXPECT_EQ(IpAddressText(peer), "::1");
  listener.Close();
}

}  // namespace
}  // namespace kestova
