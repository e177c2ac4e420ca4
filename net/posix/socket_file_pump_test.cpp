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

// Moves until `total` reaches `want` or the steps run out (each waits at most the
// socket's time-out); returns the last result.
PumpResult MoveUntil(CSocketToFile& pump, CEventSocket& server, CFile& file, uint64_t* total,
                     uint64_t want) {
  PumpResult result = PumpResult::kMoved;
  for (int steps = 0; steps < 20 && *total < want && result == PumpResult::kMoved; ++steps) {
    uint32_t received = 0;
    result = pump.Move(server, file, &received);
    *total += received;
  }
  return result;
}

// After a move that found little, the pump gathers (the socket's low-water mark): bytes
// below the mark must still reach the file while the sender waits with the connection
// open, as a recorder's last piece before it closes does.
TEST(SocketToFileGathering, PiecesBelowTheLowWaterMarkArriveWhileTheSenderWaits) {
  CScratchFolder scratch;
  const CCountedString path = scratch.PathOf("upload.bin");
  CFile file;
  ASSERT_TRUE(file.OpenForWrite(path));
  CEventSocket client;
  CEventSocket server;
  ASSERT_TRUE(ConnectPair(client, server));
  ASSERT_TRUE(server.SetTimeout(300));
  const std::string sent = PatternBytes(kPumpBlockSize + 1000 + 10, 7);
  const uint64_t pieceEnds[] = {kPumpBlockSize, kPumpBlockSize + 1000, sent.size()};
  CSocketToFile pump;
  uint64_t total = 0;
  uint64_t start = 0;
  for (const uint64_t end : pieceEnds) {
    ASSERT_TRUE(client.Send(sent.data() + start, static_cast<uint32_t>(end - start)));
    EXPECT_EQ(MoveUntil(pump, server, file, &total, end), PumpResult::kMoved);
    ASSERT_EQ(total, end);
    start = end;
  }
  client.Close();
  uint32_t received = 0;
  EXPECT_EQ(pump.Move(server, file, &received), PumpResult::kEnded);
  EXPECT_EQ(received, 0u);
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(ReadWholeFile(path) == sent);
}

}  // namespace
}  // namespace kestova
