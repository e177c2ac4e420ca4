// A hostile client on the control connection: session caps, the idle time-out, PORT
// fields and addresses, and pipelined PASV that must neither outlive its client nor
// hold up a stop.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/test_support/scratch_folder.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

// Waits until `done` holds or `timeoutMs` passed; the last value of `done`.
template <typename Condition>
bool WaitFor(Condition done, uint32_t timeoutMs) {
  const uint32_t start = TickCountMs();
  while (!done()) {
    if (TickCountMs() - start >= timeoutMs) return done();
    SleepMs(10);
  }
  return true;
}

TEST(FtpHostileTest, PortTakesOnlyTheClientsOwnAddressInDecimalFields) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  CRawFtpClient client;
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  const struct {
    const char* argument;
    const char* reply;
  } cases[] = {
      {"127,0,0,3,0,25", "500 Illegal PORT command."},  // a third host: FTP bounce
      {"127,0,0,1,0,0", "500 Illegal PORT command."},   // port 0
      {"127,0,0,4,300,300", "501 Syntax error in parameters or arguments."},
      {"127,0,0,1,256,1", "501 Syntax error in parameters or arguments."},
      {"www,example,com,,0,80", "501 Syntax error in parameters or arguments."},
      {"127,0,0,1,0x10,1", "501 Syntax error in parameters or arguments."},
      {"127,0,0,1,-1,1", "501 Syntax error in parameters or arguments."},
      {"127,0,0,1,1,1,1", "501 Syntax error in parameters or arguments."},
      {"127,0,0,1,0001,1", "501 Syntax error in parameters or arguments."},
      {"127,0,0,1,4,1", "200 Port command successful."},
      {"127, 0, 0, 1, 4, 2", "200 Port command successful."},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(client.Command(std::string("PORT ") + entry.argument), entry.reply) << entry.argument;
  }
}

TEST(FtpHostileTest, ConnectionsOverTheCapPerAddressGet421AndAreClosed) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  FtpSessionLimits limits;
  limits.perAddress = 3;
  server.Service().SetSessionLimits(limits);
  std::vector<std::unique_ptr<CRawFtpClient>> admitted;
  for (int i = 0; i < 3; ++i) {
    admitted.emplace_back(new CRawFtpClient);
    ASSERT_TRUE(admitted.back()->ConnectAndLogin(server.Port())) << i;
  }
  CRawFtpClient refused;
  ASSERT_TRUE(refused.Connect(server.Port()));
  EXPECT_EQ(refused.ReadLine(), "421 Too many connections from your address, try again later.");
  EXPECT_TRUE(refused.WaitForClose());

  // A session that ends gives its place back.
  EXPECT_EQ(admitted[0]->Command("QUIT"), "221 Goodbye.");
  ASSERT_TRUE(WaitFor([&] { return server.Service().SessionCount() == 2; }, 5000));
  CRawFtpClient next;
  EXPECT_TRUE(next.ConnectAndLogin(server.Port()));
}

TEST(FtpHostileTest, AtTheCapInAllTheQuietestSessionMakesRoomForANewcomer) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  FtpSessionLimits limits;
  limits.perAddress = 0;
  limits.total = 2;
  server.Service().SetSessionLimits(limits);
  CRawFtpClient quiet;
  CRawFtpClient active;
  ASSERT_TRUE(quiet.ConnectAndLogin(server.Port()));
  ASSERT_TRUE(active.ConnectAndLogin(server.Port()));
  SleepMs(200);
  ASSERT_EQ(active.Command("NOOP"), "200 OK");
  CRawFtpClient newcomer;
  ASSERT_TRUE(newcomer.ConnectAndLogin(server.Port()));
  EXPECT_EQ(quiet.ReadLine(), "421 Closing the longest idle connection to admit another.");
  EXPECT_TRUE(quiet.WaitForClose());
  EXPECT_EQ(active.Command("NOOP"), "200 OK");
  EXPECT_TRUE(WaitFor([&] { return server.Service().SessionCount() == 2; }, 5000));
}

TEST(FtpHostileTest, BytesWithoutALineEndDoNotHoldOffTheIdleTimeOut) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  FtpSessionLimits limits;
  limits.idleTimeoutMs = 1500;
  server.Service().SetSessionLimits(limits);
  CRawFtpClient client;
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  bool closed = false;
  for (int i = 0; i < 12 && !closed; ++i) {  // one byte every 400 ms, never a line end
    closed = !client.SendRaw("N");
    SleepMs(400);
    if (client.ReadLine(1) == "421 Idle time-out, closing the control connection.") closed = true;
  }
  EXPECT_TRUE(closed);
}

TEST(FtpHostileTest, AConnectionThatDoesNotLogInInTimeIsClosed) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  FtpSessionLimits limits;
  limits.loginTimeoutMs = 1500;
  server.Service().SetSessionLimits(limits);
  CRawFtpClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  EXPECT_EQ(client.ReadLine().compare(0, 4, "220 "), 0);
  EXPECT_EQ(client.Command("NOOP"), "530 Please login with USER and PASS.");  // not idle...
  EXPECT_EQ(client.ReadLine(6000), "421 Login time-out, closing the control connection.");
  EXPECT_TRUE(client.WaitForClose());
}

TEST(FtpHostileTest, AQuietControlConnectionIsClosedAfterTheIdleTimeOut) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  FtpSessionLimits limits;
  limits.idleTimeoutMs = 1500;
  server.Service().SetSessionLimits(limits);
  CRawFtpClient client;
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  // Commands keep it open...
  for (int i = 0; i < 3; ++i) {
    SleepMs(700);
    ASSERT_EQ(client.Command("NOOP"), "200 OK");
  }
  // ...silence does not.
  EXPECT_EQ(client.ReadLine(6000), "421 Idle time-out, closing the control connection.");
  EXPECT_TRUE(client.WaitForClose());
  EXPECT_TRUE(WaitFor([&] { return server.Service().SessionCount() == 0; }, 5000));
}

std::string Repeated(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

TEST(FtpHostileTest, PipelinedPasvStopsRunningOnceTheClientHasGone) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  CRawFtpClient client;
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  ASSERT_TRUE(client.SendRaw(Repeated("PASV\r\n", 100)));
  client.Close();
  // 100 passive waits of 3 s each would take five minutes.
  EXPECT_TRUE(WaitFor([&] { return server.Service().SessionCount() == 0; }, 5000));
}

TEST(FtpHostileTest, AStopEndsASessionBusyWithPipelinedPasv) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  CRawFtpClient client;
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  ASSERT_TRUE(client.SendRaw(Repeated("PASV\r\n", 20)));
  ASSERT_TRUE(WaitFor([&] { return client.ReadLine(100).compare(0, 4, "227 ") == 0; }, 5000));
  server.Service().RequestStop();
  EXPECT_TRUE(server.Service().WaitUntilIdle(2000));
}

TEST(FtpHostileTest, AFileInTransferCannotBeDeletedRenamedOrItsFolderRemoved) {
  CTestFtpServer server;
  ASSERT_TRUE(server.IsListening());
  CRawFtpClient uploader;
  CRawFtpClient other;
  ASSERT_TRUE(uploader.ConnectAndLogin(server.Port()));
  ASSERT_TRUE(other.ConnectAndLogin(server.Port()));
  ASSERT_EQ(uploader.Command("MKD sub"), "257 \"/sub\" created.");
  CEventSocket data;
  ASSERT_FALSE(uploader.OpenPassive(&data).empty());
  ASSERT_EQ(uploader.Command("STOR sub/a.bin").compare(0, 4, "150 "), 0);
  const std::string first = PatternBytes(100000, 1);
  ASSERT_TRUE(SendAll(data, first));

  const char* refusals[] = {"DELE sub/a.bin", "RNFR sub/a.bin", "RNFR sub", "RMD sub",
                            "DELE sub/../sub/a.bin"};
  for (const char* command : refusals) {
    EXPECT_EQ(other.Command(command).compare(0, 4, "550 "), 0) << command;
  }
  EXPECT_EQ(other.Command("RNFR sub/../sub"), "550 \"sub/../sub\": in transfer, try again later.");

  const std::string second = PatternBytes(50000, 2);
  ASSERT_TRUE(SendAll(data, second));
  data.Close();
  ASSERT_EQ(uploader.ReadLine(15000), "226 Transfer complete");
  EXPECT_TRUE(ReadWholeFile(server.Folder().PathOf("sub/a.bin")) == first + second);
  // Once it has arrived, it is an ordinary file again.
  EXPECT_EQ(other.Command("DELE sub/a.bin"), "250 DELE command successful.");
}

}  // namespace
}  // namespace testing
}  // namespace kestova
