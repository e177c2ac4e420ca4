// The control channel: greeting, login, line reading, dispatch, PASV/PORT, ABOR, QUIT
// and the stop flag, seen through a raw control connection.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>

#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "net/host.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

class FtpSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_TRUE(client_.Connect(server_.Port()));
  }
  CTestFtpServer server_;
  CRawFtpClient client_;
};

TEST_F(FtpSessionTest, GreetingNamesThePeerAddressAndPort) {
  const std::string greeting = client_.ReadLine();
  uint32_t address = 0;
  uint16_t port = 0;
  ASSERT_TRUE(client_.Socket().GetLocalAddress(&address, &port));
  EXPECT_EQ(greeting, "220 KESTOV-A FTP Server (127.0.0.1, " + std::to_string(port) + ")");
}

TEST_F(FtpSessionTest, LoginRulesBeforeAndAfterUser) {
  client_.ReadLine();
  EXPECT_EQ(client_.Command("NOOP"), "530 Please login with USER and PASS.");
  EXPECT_EQ(client_.Command("PASS x"), "503 Login with USER first.");
  EXPECT_EQ(client_.Command("USER"), "501 Syntax error: Invalid number of parameters.");
  EXPECT_EQ(client_.Command("user anonymous"), "331 Password required for anonymous");
  EXPECT_EQ(client_.Command("pwd"), "530 Please login with USER and PASS.");
  EXPECT_EQ(client_.Command("PASS"), "230 User successfully logged in.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
  // USER logs out again until the next PASS.
  EXPECT_EQ(client_.Command("USER Bob Smith"), "331 Password required for Bob Smith");
  EXPECT_EQ(client_.Command("NOOP"), "530 Please login with USER and PASS.");
}

TEST_F(FtpSessionTest, LinesOfOneChunkRunInOrderAndAnIncompleteLineWaitsForItsEnd) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  ASSERT_TRUE(CreateFolderTree(server_.Folder().PathOf("sub")));
  client_.SendRaw("CWD sub\r\nPWD\r\n");
  EXPECT_EQ(client_.ReadLine(), "250 \"sub\": CWD command successful.");
  EXPECT_EQ(client_.ReadLine(), "257 \"/sub/\" is current directory.");
  client_.SendRaw("\r\nNOOP\r\nCDUP");  // the last line lacks CR LF
  EXPECT_EQ(client_.ReadLine(), "200 OK");
  EXPECT_EQ(client_.Command(""), "250 CDUP command successful.");  // its CR LF arrives
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
}

TEST_F(FtpSessionTest, UnknownWordsMissingArgumentsAndAbortVariants) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  EXPECT_EQ(client_.Command("STOU"), "502 Command not implemented - Try HELP.");
  EXPECT_EQ(client_.Command("ALLO 100"), "502 Command not implemented - Try HELP.");
  EXPECT_EQ(client_.Command("RETR"), "501 Syntax error: Invalid number of parameters.");
  EXPECT_EQ(client_.Command("ABORxyz"), "226 ABOR command successful.");
  EXPECT_EQ(client_.Command("abort now"), "226 ABOR command successful.");
}

TEST_F(FtpSessionTest, PassiveAndSecondPassiveWordAnnounceAndAccept) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  ASSERT_TRUE(WriteWholeFile(server_.Folder().PathOf("only.txt"), "x"));
  for (const char* word : {"PASV", "P@SW"}) {
    CEventSocket data;
    const std::string reply = client_.OpenPassive(&data, word);
    EXPECT_EQ(reply.compare(0, 35, "227 Entering Passive Mode (127,0,0,"), 0) << reply;
    EXPECT_EQ(reply.back(), '.');
    // The session has accepted: a listing goes over this connection.
    EXPECT_EQ(client_.Command("NLST"),
              "150 Opening ASCII mode data connection for directory list.");
    EXPECT_NE(ReceiveAll(data).find("only.txt\r\n"), std::string::npos);
    EXPECT_EQ(client_.ReadLine(), "226 Transfer complete");
    data.Close();
  }
}

TEST_F(FtpSessionTest, PassiveWithoutClientConnectionFailsAfterTheWait) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  ASSERT_TRUE(client_.SendRaw("PASV\r\n"));
  EXPECT_EQ(client_.ReadLine().compare(0, 4, "227 "), 0);
  EXPECT_EQ(client_.ReadLine(10000), "421 Failed to create socket.");
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
}

TEST_F(FtpSessionTest, ListingOfAVanishedDirectoryIsTheSingleSlashLine) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  ASSERT_TRUE(CreateFolderTree(server_.Folder().PathOf("gone")));
  EXPECT_EQ(client_.Command("CWD gone"), "250 \"gone\": CWD command successful.");
  ASSERT_TRUE(RemoveFolder(server_.Folder().PathOf("gone")));
  CEventSocket data;
  ASSERT_FALSE(client_.OpenPassive(&data).empty());
  EXPECT_EQ(client_.Command("LIST"), "150 Opening ASCII mode data connection for directory list.");
  EXPECT_EQ(ReceiveAll(data), "/\r\n");
  EXPECT_EQ(client_.ReadLine(), "226 Transfer complete");
  data.Close();
}

TEST_F(FtpSessionTest, ListWithoutPasvOrPortAnswers150Then425) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  EXPECT_EQ(client_.Command("LIST"), "150 Opening ASCII mode data connection for directory list.");
  EXPECT_EQ(client_.ReadLine(), "425 Can't open data connection.");
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
}

TEST_F(FtpSessionTest, ShortPortArgumentIsRefusedAndTheSessionGoesOn) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  EXPECT_EQ(client_.Command("PORT 127,0,0,1,4"), "501 Syntax error in parameters or arguments.");
  EXPECT_EQ(client_.Command("PORT garbage"), "501 Syntax error in parameters or arguments.");
  // No active address was stored: a listing still has no data connection.
  EXPECT_EQ(client_.Command("LIST"), "150 Opening ASCII mode data connection for directory list.");
  EXPECT_EQ(client_.ReadLine(), "425 Can't open data connection.");
  EXPECT_EQ(client_.Command("PORT 127, 0, 0, 1, 0, 1"), "200 Port command successful.");
}

TEST_F(FtpSessionTest, AbortClosesAPreparedDataConnection) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  CEventSocket data;
  ASSERT_FALSE(client_.OpenPassive(&data).empty());
  EXPECT_EQ(client_.Command("ABOR"), "226 ABOR command successful.");
  // The server's end is closed: the client sees the close.
  EXPECT_EQ(ReceiveAll(data, 5000), "");
  data.Close();
}

TEST_F(FtpSessionTest, QuitAndByeCloseTheConnection) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  EXPECT_EQ(client_.Command("QUIT"), "221 Goodbye.");
  EXPECT_TRUE(client_.WaitForClose());
  CRawFtpClient second;
  ASSERT_TRUE(second.ConnectAndLogin(server_.Port()));
  EXPECT_EQ(second.Command("bye"), "221 Goodbye.");
  EXPECT_TRUE(second.WaitForClose());
  const uint32_t start = TickCountMs();
  while (server_.Service().SessionCount() != 0 && TickCountMs() - start < 5000) SleepMs(5);
  EXPECT_EQ(server_.Service().SessionCount(), 0);
}

TEST_F(FtpSessionTest, StopFlagEndsAnIdleSessionAndTheListener) {
  ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  const uint32_t start = TickCountMs();
  while (server_.Service().SessionCount() != 1 && TickCountMs() - start < 5000) SleepMs(5);
  ASSERT_EQ(server_.Service().SessionCount(), 1);
  server_.Service().RequestStop();
  // While the session still runs the flag cannot be cleared.
  const bool busyBefore = !server_.Service().IsIdle();
  const bool reset = server_.Service().ResetStopFlag();
  const bool busyAfter = !server_.Service().IsIdle();
  if (busyBefore && busyAfter) {
    EXPECT_FALSE(reset);
  }
  EXPECT_TRUE(client_.WaitForClose(5000));
  EXPECT_TRUE(server_.Service().WaitUntilIdle(5000));
  EXPECT_EQ(server_.Service().GetListenerState(), CFtpService::kEnded);
  EXPECT_TRUE(server_.Service().ResetStopFlag());
}

#ifndef _WIN32
// (On Windows a listener with address reuse may bind a port another program listens on.)
TEST(FtpListenerTest, APortInUseIsReportedThroughTheObserver) {
  static_cast<void>(StartSocketLibrary());
  CEventSocket holder;
  uint32_t address = 0;
  uint16_t port = 0;
  ASSERT_TRUE(holder.Create(CEventSocket::kStream, 0, 1000));
  ASSERT_TRUE(holder.Listen(1));
  ASSERT_TRUE(holder.GetLocalAddress(&address, &port));

  struct Report {
    std::atomic<int> failures{0};
    std::atomic<int> failedPort{-1};
    std::atomic<int> failedCode{0};
    std::atomic<int> listening{0};
  } report;
  FtpListenerObserver observer;
  observer.context = &report;
  observer.startFailed = [](void* context, uint16_t failed, const SystemError& reason) {
    static_cast<Report*>(context)->failures.fetch_add(1);
    static_cast<Report*>(context)->failedPort.store(failed);
    static_cast<Report*>(context)->failedCode.store(reason.code);
  };
  observer.listening = [](void* context, uint16_t) {
    static_cast<Report*>(context)->listening.fetch_add(1);
  };
  CFtpService service;
  service.SetListenPort(port);
  service.SetListenerObserver(observer);
  ASSERT_TRUE(service.StartListener());
  EXPECT_TRUE(service.WaitUntilIdle(10000));
  EXPECT_EQ(service.GetListenerState(), CFtpService::kFailed);
  EXPECT_EQ(report.failures.load(), 1);
  EXPECT_EQ(report.failedPort.load(), port);
  EXPECT_EQ(report.listening.load(), 0);
  EXPECT_EQ(report.failedCode.load(), EADDRINUSE);        // the observer is told why
  EXPECT_EQ(service.ListenerFailure().code, EADDRINUSE);  // and it is kept
  holder.Close();
}
#endif

}  // namespace
}  // namespace testing
}  // namespace kestova
