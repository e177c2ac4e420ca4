// Many sessions at once: uploads and listings lose nothing, and every session thread
// ends when its client leaves.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/thread.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

constexpr int kClients = 50;
constexpr int kRoundsPerClient = 4;
constexpr size_t kFileBytes = 150000;

std::string FileName(int client, int round) {
  return "c" + std::to_string(client) + "_r" + std::to_string(round) + ".bin";
}

unsigned Seed(int client, int round) { return static_cast<unsigned>(client * 100 + round); }

// One client: uploads and lists, counting every step that went wrong.
void RunClient(uint16_t port, int client, std::atomic<int>* failures) {
  CRawFtpClient ftp;
  if (!ftp.ConnectAndLogin(port, "anonymous", 20000)) {
    failures->fetch_add(1);
    return;
  }
  for (int round = 0; round < kRoundsPerClient; ++round) {
    CEventSocket data;
    if (ftp.OpenPassive(&data).empty() ||
        ftp.Command("STOR " + FileName(client, round), 20000).compare(0, 4, "150 ") != 0 ||
        !SendAll(data, PatternBytes(kFileBytes, Seed(client, round)))) {
      failures->fetch_add(1);
    }
    data.Close();
    if (ftp.ReadLine(30000) != "226 Transfer complete") failures->fetch_add(1);

    CEventSocket listing;
    if (ftp.OpenPassive(&listing).empty() ||
        ftp.Command("NLST", 20000).compare(0, 4, "150 ") != 0) {
      failures->fetch_add(1);
    }
    const std::string names = ReceiveAll(listing, 20000);
    listing.Close();
    if (ftp.ReadLine(20000) != "226 Transfer complete") failures->fetch_add(1);
    if (names.find(FileName(client, round) + "\r\n") == std::string::npos) failures->fetch_add(1);
  }
  if (ftp.Command("QUIT") != "221 Goodbye.") failures->fetch_add(1);
}

TEST(FtpStressTest, FiftySessionsUploadAndListWithoutLoss) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  // Every client comes from 127.0.0.1: the cap per address would turn most away.
  FtpSessionLimits limits;
  limits.perAddress = 0;
  server.Service().SetSessionLimits(limits);
  const int idleThreads = CurrentProcessThreadCount();

  std::atomic<int> failures{0};
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back(RunClient, server.Port(), client, &failures);
  }
  for (std::thread& thread : clients) thread.join();
  EXPECT_EQ(failures.load(), 0);

  for (int client = 0; client < kClients; ++client) {
    for (int round = 0; round < kRoundsPerClient; ++round) {
      const std::string stored = ReadWholeFile(server.Folder().PathOf(FileName(client, round)));
      EXPECT_TRUE(stored == PatternBytes(kFileBytes, Seed(client, round)))
          << FileName(client, round) << " differs (" << stored.size() << " bytes)";
    }
  }

  // Every session thread ends; the process is back to its idle thread count.
  const uint32_t start = TickCountMs();
  while ((server.Service().SessionCount() != 0 || CurrentProcessThreadCount() > idleThreads) &&
         TickCountMs() - start < 30000) {
    SleepMs(20);
  }
  EXPECT_EQ(server.Service().SessionCount(), 0);
  if (idleThreads > 0) {
    EXPECT_EQ(CurrentProcessThreadCount(), idleThreads);
  }
}

}  // namespace
}  // namespace testing
}  // namespace kestova
