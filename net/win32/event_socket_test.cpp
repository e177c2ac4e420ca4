// What the Windows body does where Wine behaves unlike Windows: Wine binds and reports
// closes with Linux semantics, so these tests look at the socket options themselves and
// hand the receive step the events real Windows reports.
#include "net/event_socket.h"

#include <gtest/gtest.h>
#include <winsock2.h>

#include <string>
#include <utility>

#include "net/host.h"
#include "net/test_support/loopback_sockets.h"
#include "net/win32/receive_reported.h"

namespace kestova {
namespace {

using testing::ConnectPair;
using testing::kHangMs;
using testing::Stopwatch;

// Waits (bounded) until `count` bytes are ready to be received on the socket.
bool WaitUntilReady(const CEventSocket& socket, u_long count) {
  for (int i = 0; i < 300; ++i) {
    u_long ready = 0;
    if (ioctlsocket(static_cast<SOCKET>(socket.Handle()), FIONREAD, &ready) != 0) return false;
    if (ready >= count) return true;
    Sleep(10);
  }
  return false;
}

TEST(EventSocketWin32Test, BytesBeforeAReportedCloseAreReceivedThenTheEnd) {
  ASSERT_TRUE(StartSocketLibrary());
  CEventSocket sender, receiver;
  ASSERT_TRUE(ConnectPair(sender, receiver));
  std::string sent(3000, '\0');
  for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(sender.Send(sent.data(), static_cast<uint32_t>(sent.size()), nullptr, 2000));
  ASSERT_TRUE(sender.Close());
  ASSERT_TRUE(WaitUntilReady(receiver, static_cast<u_long>(sent.size())));

  // The close alone, and the close with the arrival, as Windows may report them.
  std::string received;
  char buffer[1024];
  const long reports[] = {FD_CLOSE, FD_CLOSE | FD_READ, FD_READ};
  for (int i = 0; i < 6 && received.size() < sent.size(); ++i) {
    uint32_t count = 0;
    ASSERT_TRUE(ReceiveReported(receiver.Handle(), reports[i % 3], buffer, sizeof(buffer), &count,
                                nullptr, nullptr));
    received.append(buffer, count);
  }
  EXPECT_EQ(received, sent);
  uint32_t count = 77;
  EXPECT_FALSE(ReceiveReported(receiver.Handle(), FD_CLOSE, buffer, sizeof(buffer), &count, nullptr,
                               nullptr));
  EXPECT_EQ(count, 0u);
  // No event reported: nothing is taken.
  EXPECT_FALSE(
      ReceiveReported(receiver.Handle(), 0, buffer, sizeof(buffer), &count, nullptr, nullptr));

  // A receive on the drained connection fails without waiting out its time-out.
  Stopwatch watch;
  EXPECT_FALSE(receiver.ReceiveFrom(buffer, sizeof(buffer), &count, nullptr, nullptr, 30000));
  EXPECT_LT(watch.ElapsedMs(), kHangMs);
  receiver.Close();
}

// Windows lets a socket with address reuse bind a port on which another listens: only
// the exclusive option keeps a second FTP server off the listener's port.
TEST(EventSocketWin32Test, AddressUseSetsTheMatchingSocketOption) {
  ASSERT_TRUE(StartSocketLibrary());
  struct Case {
    CEventSocket::AddressUse use;
    int exclusive;
    int reuse;
  };
  const Case cases[] = {{CEventSocket::kExclusiveAddress, 1, 0},
                        {CEventSocket::kReuseAddress, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.use);
    CEventSocket socket;
    ASSERT_TRUE(socket.Create(CEventSocket::kStream, 0, 1000, c.use));
    const SOCKET handle = static_cast<SOCKET>(socket.Handle());
    for (const auto& option : {std::make_pair(SO_EXCLUSIVEADDRUSE, c.exclusive),
                               std::make_pair(SO_REUSEADDR, c.reuse)}) {
      BOOL value = -1;
      int length = sizeof(value);
      ASSERT_EQ(
          getsockopt(handle, SOL_SOCKET, option.first, reinterpret_cast<char*>(&value), &length),
          0);
      EXPECT_EQ(value != 0, option.second != 0) << "option " << option.first;
    }
    socket.Close();
  }
}

}  // namespace
}  // namespace kestova
