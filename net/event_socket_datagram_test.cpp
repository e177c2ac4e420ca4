// CEventSocket over UDP on loopback, plus addresses, their texts and name resolution.
#include <gtest/gtest.h>

#include <string>

#include "base/counted_string_printer.h"
#include "net/event_socket.h"
#include "net/host.h"
#include "net/test_support/loopback_sockets.h"

namespace kestova {
namespace {

using testing::ConnectPair;
using testing::kHangMs;
using testing::LocalPort;
using testing::Loopback;
using testing::Stopwatch;

class EventSocketDatagramTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartSocketLibrary()); }
  void TearDown() override {
    for (CEventSocket* socket : {&a_, &b_}) socket->Close();
  }
  CEventSocket a_, b_;
};

TEST_F(EventSocketDatagramTest, DatagramsArriveWithTheirSender) {
  ASSERT_TRUE(a_.Create(CEventSocket::kDatagram, 0, 1000));
  ASSERT_TRUE(b_.Create(CEventSocket::kDatagram, 0, 1000));
  const uint16_t portA = LocalPort(a_);
  const uint16_t portB = LocalPort(b_);
  ASSERT_NE(portA, 0);
  ASSERT_NE(portB, 0);

  char buffer[64];
  uint32_t count = 9;
  Stopwatch watch;
  EXPECT_TRUE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 100));
  EXPECT_EQ(count, 0u);  // nothing came: success, no bytes
  EXPECT_LT(watch.ElapsedMs(), kHangMs);

  uint32_t sent = 0;
  ASSERT_TRUE(a_.SendTo(Loopback(), portB, "query", 5, &sent));  // the default time-out
  EXPECT_EQ(sent, 5u);
  uint32_t sender = 0;
  uint16_t senderPort = 0;
  ASSERT_TRUE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, &sender, &senderPort, 3000));
  EXPECT_EQ(std::string(buffer, count), "query");
  EXPECT_EQ(sender, Loopback());
  EXPECT_EQ(senderPort, portA);

  // The answer goes back to the address and port the query came from.
  ASSERT_TRUE(b_.SendTo(sender, senderPort, "answer", 6, &sent, 1000));
  EXPECT_EQ(sent, 6u);
  ASSERT_TRUE(a_.ReceiveFrom(buffer, sizeof(buffer), &count, &sender, &senderPort, 3000));
  EXPECT_EQ(std::string(buffer, count), "answer");
  EXPECT_EQ(senderPort, portB);
}

TEST_F(EventSocketDatagramTest, DatagramLargerThanTheBufferFails) {
  ASSERT_TRUE(a_.Create(CEventSocket::kDatagram, 0, 1000));
  ASSERT_TRUE(b_.Create(CEventSocket::kDatagram, 0, 1000));
  uint32_t sent = 0;
  ASSERT_TRUE(a_.SendTo(Loopback(), LocalPort(b_), "0123456789", 10, &sent, 1000));
  ASSERT_TRUE(a_.SendTo(Loopback(), LocalPort(b_), "next", 4, &sent, 1000));
  char buffer[64];
  uint32_t count = 9;
  EXPECT_FALSE(b_.ReceiveFrom(buffer, 4, &count, nullptr, nullptr, 3000));
  EXPECT_EQ(count, 0u);
  // The cut datagram is gone; the next one is whole.
  ASSERT_TRUE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 3000));
  EXPECT_EQ(std::string(buffer, count), "next");
}

TEST_F(EventSocketDatagramTest, DatagramSocketsShareALocalPort) {
  ASSERT_TRUE(a_.Create(CEventSocket::kDatagram, 0, 1000));
  const uint16_t shared = LocalPort(a_);
  ASSERT_NE(shared, 0);
  ASSERT_TRUE(b_.Create(CEventSocket::kDatagram, shared, 1000));
  EXPECT_EQ(LocalPort(b_), shared);
}

TEST_F(EventSocketDatagramTest, AddressesAndTheirTexts) {
  ASSERT_TRUE(a_.Create(CEventSocket::kDatagram, 0, 1000));
  uint32_t address = 1;
  uint16_t port = 0;
  ASSERT_TRUE(a_.GetLocalAddress(&address, &port));
  EXPECT_EQ(address, 0u);  // bound to every local interface
  CCountedString addressText, portText;
  ASSERT_TRUE(a_.GetLocalAddressText(&addressText, &portText));
  EXPECT_EQ(addressText, "0.0.0.0");
  EXPECT_EQ(portText, CCountedString::Format("%d", static_cast<int>(port)));
  EXPECT_FALSE(a_.GetPeerAddressText(&addressText, &portText));  // not connected
  a_.Close();

  ASSERT_TRUE(ConnectPair(a_, b_));
  uint16_t clientPort = 0;
  ASSERT_TRUE(a_.GetLocalAddress(&address, &clientPort));
  EXPECT_EQ(address, Loopback());
  ASSERT_TRUE(b_.GetPeerAddressText(&addressText, &portText));
  EXPECT_EQ(addressText, "127.0.0.1");
  EXPECT_EQ(portText, CCountedString::Format("%d", static_cast<int>(clientPort)));
  ASSERT_TRUE(b_.GetPeerAddressText(nullptr, &portText));  // either text may be left out
  ASSERT_TRUE(b_.GetLocalAddressText(&addressText, nullptr));
  EXPECT_EQ(addressText, "127.0.0.1");

  // A stream's receive names its peer as the sender.
  uint32_t sent = 0;
  ASSERT_TRUE(a_.Send("x", 1, &sent, 1000));
  char buffer[4];
  uint32_t count = 0;
  uint32_t sender = 0;
  uint16_t senderPort = 0;
  ASSERT_TRUE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, &sender, &senderPort, 3000));
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(sender, Loopback());
  EXPECT_EQ(senderPort, clientPort);
}

TEST_F(EventSocketDatagramTest, ResolveHostTakesDottedQuadsAndNames) {
  EXPECT_EQ(ResolveHost("127.0.0.1"), Loopback());
  EXPECT_EQ(ResolveHost("localhost"), Loopback());
  EXPECT_EQ(ResolveHost("no-such-host.invalid"), 0u);
  EXPECT_EQ(ResolveHost(""), 0u);
  EXPECT_EQ(ResolveHost(nullptr), 0u);
}

}  // namespace
}  // namespace kestova
