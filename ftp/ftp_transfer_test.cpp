// Listings and file transfers over passive and active data connections.
#include <gtest/gtest.h>

#include <string>

#include "ftp/test_support/logged_in_ftp_test.h"
#include "platform/file_system.h"
#include "platform/test_support/injected_file_faults.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

class FtpTransferTest : public LoggedInFtpTest {
 protected:
  // PASV, then `command`; returns the bytes of the data connection and checks the
  // 150/226 framing.
  std::string Download(const std::string& command, const char* opening) {
    CEventSocket data;
    EXPECT_FALSE(client_.OpenPassive(&data).empty());
    EXPECT_EQ(client_.Command(command), opening);
    const std::string bytes = ReceiveAll(data);
    data.Close();
    EXPECT_EQ(client_.ReadLine(), "226 Transfer complete");
    return bytes;
  }
  // PASV, STOR-like `command`, sends `content` and closes; returns the final reply.
  // `mayBeCutShort`: the server may close the data connection before all is sent.
  std::string Upload(const std::string& command, const std::string& content,
                     bool mayBeCutShort = false) {
    CEventSocket data;
    EXPECT_FALSE(client_.OpenPassive(&data).empty());
    EXPECT_EQ(client_.Command(command),
              "150 Opening BINARY mode data connection for file transfer.");
    const bool sent = SendAll(data, content);
    if (!mayBeCutShort) {
      EXPECT_TRUE(sent);
    }
    data.Close();
    return client_.ReadLine(20000);
  }
};

const char kListOpening[] = "150 Opening ASCII mode data connection for directory list.";
const char kFileOpening[] = "150 Opening BINARY mode data connection for file transfer.";

TEST_F(FtpTransferTest, ListShowsEveryEntryOfTheCurrentDirectory) {
  ASSERT_TRUE(CreateFolderTree(Local("sub")));
  ASSERT_TRUE(WriteWholeFile(Local("sub/a.mpg"), std::string(12345, 'x')));
  ASSERT_TRUE(CreateFolderTree(Local("sub/inner")));
  EXPECT_EQ(client_.Command("CWD sub"), "250 \"sub\": CWD command successful.");
  const std::string listing = Download("LIST -la", kListOpening);
  EXPECT_NE(listing.find("-rw-rw-rw- 1 ftpuser ftpuser     12345 "), std::string::npos) << listing;
  EXPECT_NE(listing.find(" a.mpg\r\n"), std::string::npos);
  EXPECT_NE(listing.find("drw-rw-rw- 1 ftpuser ftpuser "), std::string::npos);
  EXPECT_NE(listing.find(" inner\r\n"), std::string::npos);
  const std::string names = Download("NLST", kListOpening);
  EXPECT_NE(names.find("a.mpg\r\n"), std::string::npos);
  EXPECT_NE(names.find("inner\r\n"), std::string::npos);
  EXPECT_EQ(names.find("ftpuser"), std::string::npos);
}

TEST_F(FtpTransferTest, RetrTakesNamesFromTheCurrentDirectoryOrTheTop) {
  const std::string content = PatternBytes(300000, 1);
  ASSERT_TRUE(CreateFolderTree(Local("sub")));
  ASSERT_TRUE(WriteWholeFile(Local("sub/movie.mpg"), content));
  EXPECT_EQ(client_.Command("CWD sub"), "250 \"sub\": CWD command successful.");
  EXPECT_EQ(Download("RETR movie.mpg", kFileOpening), content);
  EXPECT_EQ(Download("RETR /sub/movie.mpg", kFileOpening), content);
  // A relative name does not start at the top.
  EXPECT_EQ(client_.Command("RETR sub/movie.mpg"), "550 \"sub/movie.mpg\": File not found.");
  // REST applies to the next RETR only.
  EXPECT_EQ(client_.Command("REST 100"), "350 Restarting at 100.");
  EXPECT_EQ(Download("RETR movie.mpg", kFileOpening), content.substr(100));
  EXPECT_EQ(Download("RETR movie.mpg", kFileOpening), content);
}

TEST_F(FtpTransferTest, StorReplacesAndAppeAppends) {
  const std::string first = PatternBytes(200000, 2);
  EXPECT_EQ(Upload("STOR up.bin", first), "226 Transfer complete");
  EXPECT_EQ(ReadWholeFile(Local("up.bin")), first);
  EXPECT_EQ(Upload("APPE up.bin", "short"), "226 Transfer complete");
  EXPECT_EQ(ReadWholeFile(Local("up.bin")), first + "short");
  EXPECT_EQ(Upload("STOR up.bin", "short"), "226 Transfer complete");
  EXPECT_EQ(ReadWholeFile(Local("up.bin")), "short");
}

TEST_F(FtpTransferTest, StorInASubdirectoryCreatesTheFileThere) {
  ASSERT_TRUE(CreateFolderTree(Local("d")));
  EXPECT_EQ(client_.Command("CWD d"), "250 \"d\": CWD command successful.");
  EXPECT_EQ(Upload("STOR x.bin", "hello"), "226 Transfer complete");
  EXPECT_EQ(ReadWholeFile(Local("d/x.bin")), "hello");
}

TEST_F(FtpTransferTest, ActiveModeConnectsBackForEachTransfer) {
  ASSERT_TRUE(WriteWholeFile(Local("f.bin"), "active bytes"));
  for (int round = 0; round < 2; ++round) {
    CEventSocket listener;
    EXPECT_EQ(client_.OpenActive(&listener), "200 Port command successful.");
    EXPECT_EQ(client_.Command("RETR f.bin"), kFileOpening);
    CEventSocket data;
    ASSERT_TRUE(listener.Accept(data, nullptr, nullptr, 10000));
    EXPECT_EQ(ReceiveAll(data), "active bytes");
    EXPECT_EQ(client_.ReadLine(), "226 Transfer complete");
    data.Close();
    listener.Close();
  }
  CEventSocket listener;
  EXPECT_EQ(client_.OpenActive(&listener), "200 Port command successful.");
  ASSERT_TRUE(client_.SendRaw("STOR g.bin\r\n"));
  CEventSocket data;
  ASSERT_TRUE(listener.Accept(data, nullptr, nullptr, 10000));
  EXPECT_EQ(client_.ReadLine(), kFileOpening);
  EXPECT_TRUE(SendAll(data, "uploaded actively"));
  data.Close();
  EXPECT_EQ(client_.ReadLine(), "226 Transfer complete");
  EXPECT_EQ(ReadWholeFile(Local("g.bin")), "uploaded actively");
  listener.Close();
}

TEST_F(FtpTransferTest, ActiveModeToAClosedPortFails) {
  CEventSocket listener;
  EXPECT_EQ(client_.OpenActive(&listener), "200 Port command successful.");
  listener.Close();  // nobody listens there any more
  ASSERT_TRUE(WriteWholeFile(Local("f.bin"), "x"));
  EXPECT_EQ(client_.Command("RETR f.bin"), kFileOpening);
  // The failure to connect is the transfer's one final reply.
  EXPECT_EQ(client_.ReadLine(15000), "425 Can't open data connection.");
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
}

TEST_F(FtpTransferTest, StorOfAFileHeldOpenElsewhereIsRefused) {
  CFile holder;
  ASSERT_TRUE(holder.OpenForWrite(Local("busy.bin")));
  EXPECT_EQ(client_.Command("STOR busy.bin"), "426 Connection closed; transfer aborted.");
  EXPECT_EQ(client_.Command("RETR busy.bin"), "426 Connection closed; transfer aborted.");
}

// A write that fails mid-transfer (a full disk) ends with a final error reply; the file
// keeps what was written; the session goes on.
TEST_F(FtpTransferTest, FailedWriteEndsTheStorWithAnErrorReply) {
  std::string reply;
  {
    CInjectedFileFaults faults;
    faults.FailWritesAfter(100000, DiskFullCode());
    reply = Upload("STOR full.bin", PatternBytes(1000000, 3), true);
  }
  EXPECT_EQ(reply, "451 Requested action aborted: local error in processing.");
  const std::string kept = ReadWholeFile(Local("full.bin"));
  EXPECT_EQ(kept.size(), 100000u);  // every byte up to the limit, none after it
  EXPECT_EQ(kept, PatternBytes(1000000, 3).substr(0, kept.size()));
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
  EXPECT_EQ(Upload("STOR after.bin", "fine"), "226 Transfer complete");
}

}  // namespace
}  // namespace testing
}  // namespace kestova
