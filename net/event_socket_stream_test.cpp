// CEventSocket over TCP on loopback: bounded waits, accepting, closing, sending.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "net/event_socket.h"
#include "net/host.h"
#include "net/test_support/loopback_sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#endif

namespace kestova {
namespace {

// The system's codes a failure keeps (CEventSocket::LastError).
#ifdef _WIN32
constexpr int kNotConnected = WSAENOTCONN;
constexpr int kRefused = WSAECONNREFUSED;
#else
constexpr int kNotConnected = ENOTCONN;
constexpr int kRefused = ECONNREFUSED;
#endif

using testing::ConnectPair;
using testing::kHangMs;
using testing::LocalPort;
using testing::Loopback;
using testing::RefusingPort;
using testing::StartListener;
using testing::Stopwatch;

class EventSocketStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartSocketLibrary()); }
  void TearDown() override {
    for (CEventSocket* socket : {&a_, &b_, &c_}) socket->Close();
  }
  CEventSocket a_, b_, c_;
};

// Receives until the connection fails or `limit` calls were made; returns what arrived.
std::string ReceiveUntilFailure(CEventSocket& socket, int limit, bool* failed) {
  std::string received;
  char buffer[4096];
  *failed = false;
  for (int i = 0; i < limit && !*failed; ++i) {
    uint32_t count = 12345;
    if (socket.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 300)) {
      received.append(buffer, count);
    } else {
      *failed = true;
      EXPECT_EQ(count, 0u);
    }
  }
  return received;
}

TEST_F(EventSocketStreamTest, EmptyObjectFailsEveryOperationWithZeroBytes) {
  char buffer[16] = "payload";
  uint32_t count = 99;
  uint32_t address = 7;
  uint16_t port = 7;
  CCountedString text("unchanged");
  EXPECT_FALSE(a_.IsValid());
  EXPECT_EQ(a_.Detach(), kInvalidSocket);
  EXPECT_TRUE(a_.Close());  // nothing held is nothing to fail
  EXPECT_FALSE(a_.SetTimeout(100));
  EXPECT_FALSE(a_.Listen(1));
  EXPECT_FALSE(a_.Accept(b_, nullptr, nullptr, 0));
  EXPECT_FALSE(a_.Connect(Loopback(), 21, 100));
  EXPECT_FALSE(a_.ConnectByName("127.0.0.1", 21, 100));
  EXPECT_FALSE(a_.Send(buffer, sizeof(buffer), &count, 100));
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_FALSE(a_.SendTo(Loopback(), 9, buffer, sizeof(buffer), &count, 100));
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_FALSE(a_.ReceiveFrom(buffer, sizeof(buffer), &count, &address, &port, 100));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(a_.GetLocalAddress(&address, &port));
  EXPECT_FALSE(a_.GetPeerAddress(&address, &port));
  EXPECT_FALSE(a_.GetLocalAddressText(&text, nullptr));
  EXPECT_FALSE(a_.GetPeerAddressText(&text, nullptr));
  EXPECT_EQ(text, "unchanged");
  EXPECT_FALSE(b_.IsValid());

  // A stream that was never connected has nothing to receive, ever.
  ASSERT_TRUE(a_.Create(CEventSocket::kStream, 0, 100));
  EXPECT_TRUE(a_.IsValid());
  count = 99;
  Stopwatch watch;
  EXPECT_FALSE(a_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 100));
  EXPECT_EQ(count, 0u);
  EXPECT_LT(watch.ElapsedMs(), kHangMs);
  EXPECT_FALSE(a_.LastReceiveEndedInOrder());
  EXPECT_EQ(a_.LastError().code, kNotConnected);  // the system's reason is kept
  // Closing makes a created object empty again.
  EXPECT_TRUE(a_.Close());
  EXPECT_FALSE(a_.IsValid());
  EXPECT_FALSE(a_.Listen(1));
}

TEST_F(EventSocketStreamTest, QuietReceiveSucceedsEmptyUntilPeerCloses) {
  ASSERT_TRUE(ConnectPair(a_, b_));
  // The default time-out set here is what a time-out of 0 means.
  ASSERT_TRUE(b_.SetTimeout(100));
  EXPECT_EQ(b_.DefaultTimeout(), 100);
  char buffer[64];
  for (int i = 0; i < 3; ++i) {
    uint32_t count = 55;
    Stopwatch watch;
    EXPECT_TRUE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 0));
    EXPECT_EQ(count, 0u);
    EXPECT_LT(watch.ElapsedMs(), kHangMs);
    EXPECT_FALSE(b_.LastReceiveEndedInOrder());
  }

  uint32_t sent = 0;
  ASSERT_TRUE(a_.Send("hello", 5, &sent, 1000));
  EXPECT_EQ(sent, 5u);
  ASSERT_TRUE(a_.Close());
  bool failed = false;
  EXPECT_EQ(ReceiveUntilFailure(b_, 20, &failed), "hello");
  EXPECT_TRUE(failed);
  EXPECT_TRUE(b_.LastReceiveEndedInOrder());  // an orderly close, not an error
  // The close stays reported.
  uint32_t count = 55;
  EXPECT_FALSE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 100));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(b_.LastReceiveEndedInOrder());
  // A receive that fails for another reason is no close.
  ASSERT_TRUE(b_.Close());
  EXPECT_FALSE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 100));
  EXPECT_FALSE(b_.LastReceiveEndedInOrder());
}

TEST_F(EventSocketStreamTest, EverythingSentBeforeTheCloseIsReceivedFirst) {
  ASSERT_TRUE(ConnectPair(a_, b_));
  std::string data(60000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('A' + i % 26);
  uint32_t sent = 0;
  ASSERT_TRUE(a_.Send(data.data(), static_cast<uint32_t>(data.size()), &sent, 2000));
  EXPECT_EQ(sent, data.size());
  ASSERT_TRUE(a_.Close());  // data and close are both on their way before the first receive
  bool failed = false;
  EXPECT_EQ(ReceiveUntilFailure(b_, 200, &failed), data);
  EXPECT_TRUE(failed);
}

TEST_F(EventSocketStreamTest, AcceptWithZeroTimeOutPolls) {
  const uint16_t port = StartListener(a_);
  ASSERT_NE(port, 0);
  Stopwatch watch;
  EXPECT_FALSE(a_.Accept(b_, nullptr, nullptr, 0));
  EXPECT_LT(watch.ElapsedMs(), kHangMs);
  EXPECT_FALSE(b_.IsValid());  // target unchanged

  ASSERT_TRUE(c_.Create(CEventSocket::kStream, 0, 1000));
  ASSERT_TRUE(c_.Connect(Loopback(), port, 3000));
  uint32_t peer = 0;
  uint16_t peerPort = 0;
  bool accepted = false;
  for (int i = 0; i < 500 && !accepted; ++i) {  // polls for at most about 5 s
    accepted = a_.Accept(b_, &peer, &peerPort, 0);
    if (!accepted) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(accepted);
  EXPECT_EQ(peer, Loopback());
  EXPECT_EQ(peerPort, LocalPort(c_));
  EXPECT_TRUE(a_.IsValid());  // still listening
  uint32_t sent = 0;
  char reply[8];
  uint32_t count = 0;
  ASSERT_TRUE(b_.Send("ok", 2, &sent, 1000));
  ASSERT_TRUE(c_.ReceiveFrom(reply, sizeof(reply), &count, nullptr, nullptr, 3000));
  EXPECT_EQ(std::string(reply, count), "ok");
}

TEST_F(EventSocketStreamTest, AcceptIntoTheListeningObjectReplacesIt) {
  const uint16_t port = StartListener(a_);
  ASSERT_NE(port, 0);
  ASSERT_TRUE(b_.Create(CEventSocket::kStream, 0, 1000));
  ASSERT_TRUE(b_.Connect(Loopback(), port, 3000));
  ASSERT_TRUE(a_.Accept(a_, nullptr, nullptr, 3000));

  uint16_t peerPort = 0;
  ASSERT_TRUE(a_.GetPeerAddress(nullptr, &peerPort));
  EXPECT_EQ(peerPort, LocalPort(b_));
  uint32_t sent = 0;
  ASSERT_TRUE(a_.Send("data", 4, &sent, 1000));
  char buffer[8];
  uint32_t count = 0;
  ASSERT_TRUE(b_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 3000));
  EXPECT_EQ(std::string(buffer, count), "data");

  // The listening socket is gone: no further connection reaches the port.
  ASSERT_TRUE(c_.Create(CEventSocket::kStream, 0, 1000));
  EXPECT_FALSE(c_.Connect(Loopback(), port, 2000));
  EXPECT_FALSE(a_.Accept(b_, nullptr, nullptr, 0));
}

TEST_F(EventSocketStreamTest, AcceptClosesWhatTheTargetHeld) {
  const uint16_t port = StartListener(a_);
  ASSERT_NE(port, 0);
  const uint16_t targetPort = StartListener(b_);  // the target holds a listener of its own
  ASSERT_NE(targetPort, 0);
  ASSERT_TRUE(c_.Create(CEventSocket::kStream, 0, 1000));
  ASSERT_TRUE(c_.Connect(Loopback(), port, 3000));
  ASSERT_TRUE(a_.Accept(b_, nullptr, nullptr, 3000));
  uint16_t peerPort = 0;
  ASSERT_TRUE(b_.GetPeerAddress(nullptr, &peerPort));
  EXPECT_EQ(peerPort, LocalPort(c_));

  CEventSocket probe;
  ASSERT_TRUE(probe.Create(CEventSocket::kStream, 0, 1000));
  EXPECT_FALSE(probe.Connect(Loopback(), targetPort, 2000));
  probe.Close();
}

TEST_F(EventSocketStreamTest, CreateClosesTheOldSocket) {
  const uint16_t oldPort = StartListener(a_);
  ASSERT_NE(oldPort, 0);
  ASSERT_TRUE(a_.Create(CEventSocket::kStream, 0, 1000));
  EXPECT_NE(LocalPort(a_), 0);
  ASSERT_TRUE(b_.Create(CEventSocket::kStream, 0, 1000));
  EXPECT_FALSE(b_.Connect(Loopback(), oldPort, 2000));  // the old listener no longer answers
}

TEST_F(EventSocketStreamTest, SocketsShareALocalPortThroughAddressReuse) {
  // As every active data connection binds the same local port, two sockets bound to one
  // port each connect to a different peer.
  CEventSocket listener1, listener2;
  const uint16_t port1 = StartListener(listener1);
  const uint16_t port2 = StartListener(listener2);
  ASSERT_NE(port1, 0);
  ASSERT_NE(port2, 0);
  ASSERT_TRUE(a_.Create(CEventSocket::kStream, 0, 1000));
  const uint16_t shared = LocalPort(a_);
  ASSERT_NE(shared, 0);
  ASSERT_TRUE(b_.Create(CEventSocket::kStream, shared, 1000));
  EXPECT_EQ(LocalPort(b_), shared);
  EXPECT_TRUE(a_.Connect(Loopback(), port1, 3000));
  EXPECT_TRUE(b_.Connect(Loopback(), port2, 3000));
  EXPECT_EQ(LocalPort(a_), shared);
  EXPECT_EQ(LocalPort(b_), shared);
  listener1.Close();
  listener2.Close();
}

TEST_F(EventSocketStreamTest, ExclusiveListenerSharesItsPortWithNoOtherListener) {
  // In both orders: a second server on the port of a running one does not start.
  const CEventSocket::AddressUse orders[][2] = {
      {CEventSocket::kExclusiveAddress, CEventSocket::kReuseAddress},
      {CEventSocket::kReuseAddress, CEventSocket::kExclusiveAddress},
      {CEventSocket::kExclusiveAddress, CEventSocket::kExclusiveAddress},
  };
  for (const auto& order : orders) {
    SCOPED_TRACE(::testing::Message() << "first " << order[0] << ", second " << order[1]);
    CEventSocket first, second;
    ASSERT_TRUE(first.Create(CEventSocket::kStream, 0, 1000, order[0]));
    ASSERT_TRUE(first.Listen(5));
    const uint16_t port = LocalPort(first);
    ASSERT_NE(port, 0);
    EXPECT_FALSE(second.Create(CEventSocket::kStream, port, 1000, order[1]) && second.Listen(5));
    second.Close();
    // The running one still takes connections.
    ASSERT_TRUE(a_.Create(CEventSocket::kStream, 0, 1000));
    EXPECT_TRUE(a_.Connect(Loopback(), port, 3000));
    EXPECT_TRUE(first.Accept(b_, nullptr, nullptr, 3000));
    a_.Close();
    b_.Close();
    first.Close();
  }
}

TEST_F(EventSocketStreamTest, RefusedOrUnresolvableConnectsFail) {
  const uint16_t refusing = RefusingPort();
  ASSERT_NE(refusing, 0);
  ASSERT_TRUE(a_.Create(CEventSocket::kStream, 0, 1000));
  Stopwatch watch;
  EXPECT_FALSE(a_.Connect(Loopback(), refusing, 3000));
  EXPECT_LT(watch.ElapsedMs(), kHangMs);
  EXPECT_EQ(a_.LastError().code, kRefused);
  EXPECT_EQ(a_.LastError().text, SystemErrorOf(kRefused).text);

  // An unresolvable name fails without any connection attempt reaching a listener.
  const uint16_t port = StartListener(c_);
  ASSERT_NE(port, 0);
  ASSERT_TRUE(b_.Create(CEventSocket::kStream, 0, 1000));
  EXPECT_FALSE(b_.ConnectByName("no-such-host.invalid", port, 1000));
  EXPECT_FALSE(b_.Connect(0, port, 1000));
  CEventSocket unexpected;
  EXPECT_FALSE(c_.Accept(unexpected, nullptr, nullptr, 200));
  EXPECT_FALSE(unexpected.IsValid());

  // The same socket still connects by a dotted quad.
  EXPECT_TRUE(b_.ConnectByName("127.0.0.1", port, 3000));
  EXPECT_TRUE(c_.Accept(unexpected, nullptr, nullptr, 3000));
  unexpected.Close();
}

TEST_F(EventSocketStreamTest, SendThatThePeerNeverTakesFailsWithZeroBytes) {
  ASSERT_TRUE(ConnectPair(a_, b_));
  std::vector<char> big(32u << 20, 'x');  // far more than both sides' buffers hold
  uint32_t sent = 77;
  Stopwatch watch;
  EXPECT_FALSE(a_.Send(big.data(), static_cast<uint32_t>(big.size()), &sent, 300));
  EXPECT_EQ(sent, 0u);
  EXPECT_LT(watch.ElapsedMs(), kHangMs);
  EXPECT_TRUE(a_.IsValid());
  EXPECT_TRUE(a_.Close());
}

TEST_F(EventSocketStreamTest, LargeSendToAReadingPeerArrivesWhole) {
  ASSERT_TRUE(ConnectPair(a_, b_));
  std::string data(6u << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);
  std::string received;
  bool peerFailed = false;
  std::atomic<bool> sendDone(false);
  std::thread reader([&] {
    std::vector<char> buffer(65536);
    Stopwatch watch;
    while (received.size() < data.size() && watch.ElapsedMs() < 30000) {
      uint32_t count = 0;
      if (!b_.ReceiveFrom(buffer.data(), static_cast<uint32_t>(buffer.size()), &count, nullptr,
                          nullptr, 200)) {
        peerFailed = true;
        return;
      }
      if (count == 0 && sendDone) return;
      received.append(buffer.data(), count);
    }
  });
  uint32_t sent = 0;
  const bool ok = a_.Send(data.data(), static_cast<uint32_t>(data.size()), &sent, 20000);
  sendDone = true;
  reader.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(sent, data.size());
  EXPECT_FALSE(peerFailed);
  EXPECT_TRUE(received == data) << "received " << received.size() << " bytes";
}

TEST_F(EventSocketStreamTest, DetachAndAttachMoveTheConnection) {
  ASSERT_TRUE(ConnectPair(a_, b_));
  const SocketHandle handle = b_.Detach();
  EXPECT_FALSE(b_.IsValid());
  ASSERT_NE(handle, kInvalidSocket);

  // Attaching closes what the object held so far (here: a listener).
  const uint16_t oldPort = StartListener(c_);
  ASSERT_NE(oldPort, 0);
  ASSERT_TRUE(c_.Attach(handle));
  EXPECT_EQ(c_.Handle(), handle);
  uint32_t sent = 0;
  ASSERT_TRUE(a_.Send("moved", 5, &sent, 1000));
  char buffer[8];
  uint32_t count = 0;
  ASSERT_TRUE(c_.SetTimeout(1000));
  ASSERT_TRUE(c_.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 3000));
  EXPECT_EQ(std::string(buffer, count), "moved");
  ASSERT_TRUE(b_.Create(CEventSocket::kStream, 0, 1000));
  EXPECT_FALSE(b_.Connect(Loopback(), oldPort, 2000));
}

TEST_F(EventSocketStreamTest, AttachKeepsAHandleThatCannotBeClosed) {
  ASSERT_TRUE(a_.Create(CEventSocket::kStream, 0, 1000));
  ASSERT_TRUE(b_.Create(CEventSocket::kStream, 0, 1000));
  const SocketHandle stale = a_.Handle();
  // Close a_'s socket behind its back through a second owner; the replacement handle is
  // made first, so the system cannot hand the stale number out again meanwhile.
  CEventSocket other;
  ASSERT_TRUE(other.Attach(stale));
  ASSERT_TRUE(other.Close());

  const SocketHandle replacement = b_.Handle();
  EXPECT_FALSE(a_.Attach(replacement));
  EXPECT_EQ(a_.Handle(), stale);
  EXPECT_FALSE(a_.Close());
  EXPECT_EQ(a_.Handle(), stale);
  a_.Detach();
}

}  // namespace
}  // namespace kestova
