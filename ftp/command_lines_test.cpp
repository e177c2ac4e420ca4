// Whole command lines on a live control connection: split commands run once, over-long
// lines and lines holding a NUL are refused without taking what follows with them, and
// the stop flag is honoured between the lines of one received chunk.
#include <gtest/gtest.h>

#include <string>

#include "ftp/ftp_session.h"
#include "ftp/test_support/logged_in_ftp_test.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

constexpr const char* kPwdReply = "257 \"/\" is current directory.";

class CommandLinesTest : public LoggedInFtpTest {
 protected:
  // Sends the pieces as separate TCP segments (a pause after each lets the session
  // receive it on its own).
  void SendPieces(std::initializer_list<std::string> pieces) {
    for (const std::string& piece : pieces) {
      ASSERT_TRUE(client_.SendRaw(piece));
      SleepMs(50);
    }
  }
};

// Every test ends with a PWD whose reply must be the next line: so no reply was left
// unread before it.
TEST_F(CommandLinesTest, ACommandSplitAcrossSegmentsRunsOnce) {
  SendPieces({"NO", "OP\r\n"});
  EXPECT_EQ(client_.ReadLine(), "200 OK");
  for (char byte : std::string("SYST\r\n")) SendPieces({std::string(1, byte)});
  EXPECT_EQ(client_.ReadLine(), "215 UNIX emulated by KESTOV-A FTP Server.");
  EXPECT_EQ(client_.Command("PWD"), kPwdReply);
}

TEST_F(CommandLinesTest, AnOverlongLineIsDiscardedWholeAndTheSessionGoesOn) {
  ASSERT_TRUE(WriteWholeFile(server_.Folder().PathOf("victim"), "keep"));
  SendPieces({std::string(9000, 'x') + "\r\n", "NOOP\r\n"});
  EXPECT_EQ(client_.ReadLine(), "200 OK");
  // The bytes past a full receive buffer do not run as a command of their own.
  SendPieces({"NOOP " + std::string(8187, 'x'), "DELE victim\r\n"});
  EXPECT_EQ(client_.Command("PWD"), kPwdReply);
  EXPECT_TRUE(PathExists(server_.Folder().PathOf("victim")));
}

TEST_F(CommandLinesTest, ALineHoldingANulIsRefusedAndTheLinesAfterItRun) {
  const char bytes[] = "NOOP\r\n\0\r\nSYST\r\nMKD x\r\n";
  ASSERT_TRUE(client_.SendRaw(std::string(bytes, sizeof bytes - 1)));
  EXPECT_EQ(client_.ReadLine(), "200 OK");
  EXPECT_EQ(client_.ReadLine(), "500 Syntax error, command unrecognized.");
  EXPECT_EQ(client_.ReadLine(), "215 UNIX emulated by KESTOV-A FTP Server.");
  EXPECT_EQ(client_.ReadLine(), "257 \"/x\" created.");
  EXPECT_EQ(client_.Command("PWD"), kPwdReply);
}

// A session whose NOOP asks the service to stop, as a shutdown arriving mid-chunk would.
class CStoppingSession : public CFtpSession {
 public:
  explicit CStoppingSession(CFtpService* const* service) : service_(service) {}
  void OnNoop(const FtpRequest& request) override {
    CFtpSession::OnNoop(request);
    (*service_)->RequestStop();
  }

 private:
  CFtpService* const* service_;
};

// Makes CStoppingSessions.
class CStoppingSessionFactory : public IFtpSessionFactory {
 public:
  explicit CStoppingSessionFactory(CFtpService* const* service) : service_(service) {}
  CFtpSession* CreateSession() override { return new CStoppingSession(service_); }

 private:
  CFtpService* const* service_;
};

TEST(CommandLinesStopTest, TheStopFlagIsSeenBetweenTheLinesOfOneChunk) {
  CFtpService* service = nullptr;  // set before the first connection is accepted
  CStoppingSessionFactory factory(&service);
  CTestFtpServer server(&factory);
  ASSERT_TRUE(server.IsListening());
  service = &server.Service();
  CRawFtpClient client;
  ASSERT_TRUE(client.ConnectAndLogin(server.Port()));
  ASSERT_TRUE(client.SendRaw("NOOP\r\nMKD made\r\nNOOP\r\n"));
  EXPECT_EQ(client.ReadLine(), "200 OK");
  EXPECT_TRUE(client.WaitForClose(5000));  // nothing more was answered
  EXPECT_FALSE(PathExists(server.Folder().PathOf("made")));
}

}  // namespace
}  // namespace testing
}  // namespace kestova
