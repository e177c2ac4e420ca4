// The capture client without the driver: the UDP-socket method's start, its refusal while
// another socket owns port 137, and a second start after a stop.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>

#include "capture/nbns_message.h"
#include "capture/win32/capture_client.h"
#include "net/host.h"

namespace kestova {
namespace {

// Holds UDP port 137 of every address, as the system's NetBIOS service would.
class CPortHolder {
 public:
  CPortHolder() : socket_(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(kNameServicePort);
    held_ = socket_ != INVALID_SOCKET &&
            bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
  }
  ~CPortHolder() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  CPortHolder(const CPortHolder&) = delete;
  CPortHolder& operator=(const CPortHolder&) = delete;
  bool Held() const { return held_; }

 private:
  SOCKET socket_;
  bool held_ = false;
};

TEST(CaptureClientWithoutDriver, SocketMethodFailsWhilePort137IsOwnedAndRunsOnceItIsFree) {
  ASSERT_TRUE(StartSocketLibrary());
  CCaptureClient client("C:\\no-such-folder\\");
  client.SetMethod(CCaptureClient::Method::kSocket);
  {
    CPortHolder holder;
    if (!holder.Held()) GTEST_SKIP() << "UDP port 137 is in use on this machine";
    EXPECT_EQ(client.Start(), CCaptureClient::kDeviceUnavailable);
    EXPECT_FALSE(client.ReaderRunning());
    EXPECT_EQ(client.Stop(), CCaptureClient::kRunning);
  }
  for (int round = 0; round < 2; ++round) {  // the stop event is ready again for a new reader
    ASSERT_EQ(client.Start(), CCaptureClient::kRunning) << "round " << round;
    EXPECT_EQ(client.RunningMethod(), CCaptureClient::Method::kSocket);
    Sleep(200);  // room for a reader that would end at once
    EXPECT_TRUE(client.ReaderRunning());
    EXPECT_EQ(client.Start(), CCaptureClient::kReaderRunning);
    EXPECT_EQ(client.Stop(), CCaptureClient::kRunning);
    EXPECT_FALSE(client.ReaderRunning());
    CPortHolder again;  // the client's socket is closed
    EXPECT_TRUE(again.Held()) << "round " << round;
  }
  StopSocketLibrary();
}

}  // namespace
}  // namespace kestova
