// How uploads and downloads end when the other side or the service cuts them short: the
// replies, and exactly the bytes that moved (run on the kernel's moves and, as the
// *_plain test, on the buffered ones).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace testing {
namespace {

const char kFileOpening[] = "150 Opening BINARY mode data connection for file transfer.";

// Waits (at most 10 s) until the file at `path` holds `size` bytes (by its size: the
// service holds the file open without sharing meanwhile).
bool WaitForFileSize(const CCountedString& path, uint64_t size) {
  for (int i = 0; i < 1000; ++i) {
    DirectoryEntry entry;
    if (GetPathEntry(path, &entry) && entry.size == size) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(FtpTransferEndsTest, AnUploadCutShortKeepsExactlyTheBytesReceived) {
  enum class Cut { kClientResets, kServiceStops };
  for (Cut cut : {Cut::kClientResets, Cut::kServiceStops}) {
    SCOPED_TRACE(cut == Cut::kClientResets ? "client resets" : "service stops");
    CTestFtpServer server;
    CRawFtpClient client;
    ASSERT_TRUE(server.IsListening());
    ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
    CEventSocket data;
    ASSERT_FALSE(client.OpenPassive(&data).empty());
    ASSERT_EQ(client.Command("STOR cut.bin"), kFileOpening);
    const std::string sent = PatternBytes(300000, 7);
    ASSERT_TRUE(SendAll(data, sent));
    // Every byte is in the file before the cut: what follows must not lose or add any.
    const CCountedString path = server.Folder().PathOf("cut.bin");
    ASSERT_TRUE(WaitForFileSize(path, sent.size()));
    // The client's end (a reset too) is the end of the upload; a stop cuts it short.
    if (cut == Cut::kClientResets) {
      ResetConnection(data);
      EXPECT_EQ(client.ReadLine(10000), "226 Transfer complete");
    } else {
      EXPECT_TRUE(server.Stop());
      EXPECT_EQ(client.ReadLine(10000), "426 Connection closed; transfer aborted.");
      data.Close();
    }
    EXPECT_TRUE(ReadWholeFile(path) == sent);
  }
}

// A client that stops reading: the download ends once no byte has moved for the stall
// limit, with 426, and what did reach the client is the file's beginning, byte for byte.
TEST(FtpTransferEndsTest, ADownloadToAClientThatStopsReadingEndsWith426) {
  CTestFtpServer server;
  CRawFtpClient client;
  ASSERT_TRUE(server.IsListening());
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  // Larger than what the loopback buffers of both ends hold together.
  const std::string content = PatternBytes(48u << 20, 9);
  ASSERT_TRUE(WriteWholeFile(server.Folder().PathOf("big.bin"), content));
  CEventSocket data;
  ASSERT_FALSE(client.OpenPassive(&data).empty());
  ASSERT_EQ(client.Command("RETR big.bin"), kFileOpening);
  EXPECT_EQ(client.ReadLine(30000), "426 Connection closed; transfer aborted.");
  const std::string received = ReceiveAll(data);
  data.Close();
  EXPECT_GT(received.size(), 0u);
  EXPECT_LT(received.size(), content.size());
  EXPECT_TRUE(content.compare(0, received.size(), received) == 0);
  EXPECT_EQ(client.Command("NOOP"), "200 OK");
}

// A client that resets the data connection half-way through a download: 426, and the
// service (which must not die of the broken pipe) goes on serving the session.
TEST(FtpTransferEndsTest, ADownloadResetByTheClientEndsWith426) {
  CTestFtpServer server;
  CRawFtpClient client;
  ASSERT_TRUE(server.IsListening());
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  const std::string content = PatternBytes(48u << 20, 11);
  ASSERT_TRUE(WriteWholeFile(server.Folder().PathOf("big.bin"), content));
  CEventSocket data;
  ASSERT_FALSE(client.OpenPassive(&data).empty());
  ASSERT_EQ(client.Command("RETR big.bin"), kFileOpening);
  std::string received(1 << 20, '\0');
  uint32_t got = 0;
  ASSERT_TRUE(data.ReceiveFrom(&received[0], static_cast<uint32_t>(received.size()), &got, nullptr,
                               nullptr, 5000));
  EXPECT_GT(got, 0u);
  EXPECT_TRUE(content.compare(0, got, received, 0, got) == 0);
  ResetConnection(data);
  EXPECT_EQ(client.ReadLine(30000), "426 Connection closed; transfer aborted.");
  EXPECT_EQ(client.Command("NOOP"), "200 OK");
}

}  // namespace
}  // namespace testing
}  // namespace kestova
