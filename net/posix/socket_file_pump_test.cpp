// The socket → file pump on Linux: the kernel's way, and the fall back to the buffer when
// the file refuses splice — shown with a file in append mode, which splice(2) refuses with
// EINVAL as a file system without splice support does.
#include "net/socket_file_pump.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "net/test_support/loopback_sockets.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

using testing::ConnectPair;
using testing::CScratchFolder;
using testing::PatternBytes;
using testing::ReadWholeFile;

struct PumpCase {
  const char* name;
  bool appendMode;
  bool expectInKernel;
};

class SocketToFileTest : public ::testing::TestWithParam<PumpCase> {};

TEST_P(SocketToFileTest, EveryByteReachesTheFileAndTheEndIsOrderly) {
  const PumpCase& c = GetParam();
  CScratchFolder scratch;
  const CCountedString path = scratch.PathOf("upload.bin");
  CFile file;
  ASSERT_TRUE(file.OpenForWrite(path));
  if (c.appendMode) {
    ASSERT_EQ(fcntl(file.NativeHandle(), F_SETFL, O_APPEND), 0);
  }
  CEventSocket client;
  CEventSocket server;
  ASSERT_TRUE(ConnectPair(client, server));
  ASSERT_TRUE(server.SetTimeout(2000));

  const std::string sent = PatternBytes(300 * 1024 + 17, 5);
  std::thread sender([&] {
    client.Send(sent.data(), static_cast<uint32_t>(sent.size()));
    client.Close();
  });
  CSocketToFile pump;
  uint64_t total = 0;
  PumpResult result = PumpResult::kMoved;
  for (int steps = 0; steps < 1000 && result == PumpResult::kMoved; ++steps) {
    uint32_t received = 0;
    result = pump.Move(server, file, &received);
    total += received;
  }
  sender.join();
  ASSERT_TRUE(file.Close());

  EXPECT_EQ(result, PumpResult::kEnded);
  EXPECT_TRUE(server.LastReceiveEndedInOrder());
  EXPECT_EQ(pump.InKernel(), c.expectInKernel && KernelTransfersAllowed());
  EXPECT_EQ(total, sent.size());
  EXPECT_TRUE(ReadWholeFile(path) == sent);
}

INSTANTIATE_TEST_SUITE_P(Files, SocketToFileTest,
                         ::testing::Values(PumpCase{"Kernel", false, true},
                                           PumpCase{"RefusedBySplice", true, false}),
                         [](const ::testing::TestParamInfo<PumpCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace kestova
