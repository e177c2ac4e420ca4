// Ordinary files as FTP clients use them: paths from the current directory or the top,
// listings of a named path, sizes, restarts, appends, and one final reply per transfer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ftp/test_support/logged_in_ftp_test.h"
#include "platform/file_system.h"
#include "platform/settings.h"
#include "platform/time.h"

namespace kestova {
namespace testing {
namespace {

const char kFileOpening[] = "150 Opening BINARY mode data connection for file transfer.";
const char kListOpening[] = "150 Opening ASCII mode data connection for directory list.";
const char kComplete[] = "226 Transfer complete";
const char kAborted[] = "426 Connection closed; transfer aborted.";

class FtpOrdinaryFilesTest : public LoggedInFtpTest {
 protected:
  void SetUp() override {
    LoggedInFtpTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(CreateFolderTree(Local("sub/deeper")));
    ASSERT_TRUE(WriteWholeFile(Local("a.txt"), "top"));
    ASSERT_TRUE(WriteWholeFile(Local("sub/a.txt"), "in sub"));
    ASSERT_TRUE(WriteWholeFile(Local("digits"), "0123456789"));
  }
  // PASV, `command`; the data connection's bytes when the opening reply came, and the
  // final reply in `*last`.
  std::string Transfer(const std::string& command, std::string* last,
                       const std::string& upload = std::string()) {
    CEventSocket data;
    EXPECT_FALSE(client_.OpenPassive(&data).empty());
    const std::string first = client_.Command(command);
    std::string bytes;
    if (first.compare(0, 4, "150 ") == 0) {
      if (!upload.empty()) {
        EXPECT_TRUE(SendAll(data, upload));
      }
      if (upload.empty() && command.compare(0, 4, "STOR") != 0 &&
          command.compare(0, 4, "APPE") != 0) {
        bytes = ReceiveAll(data);
      }
      data.Close();
      *last = client_.ReadLine(20000);
    } else {
      *last = first;
    }
    data.Close();
    // Nothing else is pending: the next reply belongs to the next command.
    EXPECT_EQ(client_.Command("NOOP"), "200 OK") << command;
    return bytes;
  }
};

TEST_F(FtpOrdinaryFilesTest, NamesAreTakenFromTheCurrentDirectoryOrTheTop) {
  EXPECT_EQ(client_.Command("CWD sub"), "250 \"sub\": CWD command successful.");
  const struct {
    const char* command;
    const char* bytes;  // null: the reply is in `last`
    const char* last;
  } cases[] = {
      {"RETR a.txt", "in sub", kComplete},
      {"RETR /a.txt", "top", kComplete},
      {"RETR \\sub\\a.txt", "in sub", kComplete},
      {"RETR ../a.txt", "top", kComplete},
      {"RETR deeper", nullptr, "550 \"deeper\": Not a plain file."},
      {"RETR missing", nullptr, "550 \"missing\": File not found."},
      {"RETR ../../a.txt", nullptr, "550 Permission denied."},
      {"NLST", "a.txt\r\ndeeper\r\n", kComplete},
      {"NLST /sub/deeper", "", kComplete},
      {"NLST -a a.txt", "a.txt\r\n", kComplete},
      {"NLST missing", nullptr, "550 \"missing\": File not found."},
  };
  for (const auto& c : cases) {
    std::string last;
    const std::string bytes = Transfer(c.command, &last);
    EXPECT_EQ(last, c.last) << c.command;
    if (c.bytes == nullptr) continue;
    if (std::string(c.command).compare(0, 4, "NLST") == 0) {
      // Listings may hold "." and "..", in any order.
      for (const char* name : {"a.txt\r\n", "deeper\r\n"}) {
        EXPECT_EQ(bytes.find(name) != std::string::npos,
                  std::string(c.bytes).find(name) != std::string::npos)
            << c.command << ": " << bytes;
      }
    } else {
      EXPECT_EQ(bytes, c.bytes) << c.command;
    }
  }
  std::string last;
  const std::string line = Transfer("LIST /digits", &last);
  EXPECT_EQ(last, kComplete);
  EXPECT_EQ(line.compare(0, 38, "-rw-rw-rw- 1 ftpuser ftpuser        10"), 0) << line;
  EXPECT_EQ(line.substr(line.size() - 9), " digits\r\n") << line;
  const std::string top = Transfer("LIST -la /", &last);
  EXPECT_NE(top.find(" sub\r\n"), std::string::npos) << top;
  EXPECT_EQ(top.find(" deeper\r\n"), std::string::npos) << top;
}

TEST_F(FtpOrdinaryFilesTest, CwdKeepsTheCurrentDirectoryResolved) {
  const struct {
    const char* argument;
    const char* directory;
  } cases[] = {
      {"sub/deeper", "/sub/deeper/"},
      {"..", "/sub/"},
      {"/sub/deeper/../deeper/.", "/sub/deeper/"},
      {"\\sub", "/sub/"},
      {"./deeper/", "/sub/deeper/"},
      {"/", "/"},
      {"sub//deeper\\..", "/sub/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client_.Command(std::string("CWD ") + c.argument).compare(0, 4, "250 "), 0)
        << c.argument;
    EXPECT_EQ(client_.Command("PWD"),
              std::string("257 \"") + c.directory + "\" is current directory.")
        << c.argument;
  }
  // Many "CWD ." in a row leave the directory as it is (no text grows).
  std::string burst;
  for (int i = 0; i < 500; ++i) burst += "CWD .\r\n";
  ASSERT_TRUE(client_.SendRaw(burst));
  for (int i = 0; i < 500; ++i) ASSERT_EQ(client_.ReadLine(), "250 \".\": CWD command successful.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/sub/\" is current directory.");
}

TEST_F(FtpOrdinaryFilesTest, SizeAnswersFilesAndEchoesEverythingElse) {
  const struct {
    const char* argument;
    const char* reply;
  } cases[] = {
      {"digits", "213 10"}, {"/sub/a.txt", "213 6"}, {"sub", "213 0"},
      {"1234", "213 1234"}, {"missing", "213 0"},    {"../x", "213 0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client_.Command(std::string("SIZE ") + c.argument), c.reply) << c.argument;
  }
}

// A 5 GB file that occupies almost no disk: one byte written far past the start.
TEST_F(FtpOrdinaryFilesTest, SizeAndRestCarry64BitOffsets) {
  {
    CFile sparse;
    ASSERT_TRUE(sparse.CreateNew(Local("huge.bin")));
    ASSERT_TRUE(sparse.Seek(5000000000ull));
    ASSERT_TRUE(sparse.Write("tail", 4));
  }
  EXPECT_EQ(client_.Command("SIZE huge.bin"), "213 5000000004");
  EXPECT_EQ(client_.Command("REST 3000000000"), "350 Restarting at 3000000000.");
  EXPECT_EQ(client_.Command("REST 5000000001"), "350 Restarting at 5000000001.");
  std::string last;
  EXPECT_EQ(Transfer("RETR huge.bin", &last), "ail");
  EXPECT_EQ(last, kComplete);
}

TEST_F(FtpOrdinaryFilesTest, RestartsAndAppendsKeepTheRestOfTheFile) {
  const struct {
    const char* rest;  // null: no REST before the command
    const char* command;
    const char* upload;
    const char* last;
    const char* digitsAfter;
  } cases[] = {
      {"REST 4", "RETR digits", "", kComplete, "0123456789"},
      {"REST 10", "RETR digits", "", kComplete, "0123456789"},
      {"REST 5", "STOR digits", "ab", kComplete, "01234ab789"},
      {nullptr, "APPE digits", "ABC", kComplete, "01234ab789ABC"},
      {"REST 2", "APPE digits", "xy", kComplete, "01xy4ab789ABC"},
      {"REST 14", "STOR digits", "zz", "554 Can't restart at 14: \"digits\" has 13 bytes.",
       "01xy4ab789ABC"},
      {"REST 99", "RETR digits", "", "554 Can't restart at 99: \"digits\" has 13 bytes.",
       "01xy4ab789ABC"},
      {"REST -1", "APPE digits", "zz", "554 Can't restart at -1: \"digits\" has 13 bytes.",
       "01xy4ab789ABC"},
      {nullptr, "STOR digits", "fresh", kComplete, "fresh"},
  };
  for (const auto& c : cases) {
    if (c.rest != nullptr) {
      EXPECT_EQ(client_.Command(c.rest).compare(0, 4, "350 "), 0);
    }
    std::string last;
    const std::string bytes = Transfer(c.command, &last, c.upload);
    EXPECT_EQ(last, c.last) << c.rest << " " << c.command;
    EXPECT_EQ(ReadWholeFile(Local("digits")), c.digitsAfter) << c.rest << " " << c.command;
    if (std::string(c.command) == "RETR digits" && last == kComplete) {
      EXPECT_EQ(bytes, std::string(c.digitsAfter).substr(std::stoul(c.rest + 5)));
    }
  }
  // A restart into a missing file creates nothing; APPE of a new name creates it.
  EXPECT_EQ(client_.Command("REST 3"), "350 Restarting at 3.");
  std::string last;
  Transfer("STOR new.bin", &last, "x");
  EXPECT_EQ(last, "554 Can't restart at 3: \"new.bin\" has 0 bytes.");
  EXPECT_FALSE(PathExists(Local("new.bin")));
  Transfer("APPE new.bin", &last, "made");
  EXPECT_EQ(last, kComplete);
  EXPECT_EQ(ReadWholeFile(Local("new.bin")), "made");
}

TEST_F(FtpOrdinaryFilesTest, EveryTransferEndsWithOneFinalReply) {
  // Without PASV or PORT: the opening reply (RETR, LIST) and the one failure reply.
  const struct {
    const char* command;
    const char* first;
  } noConnection[] = {
      {"RETR digits", kFileOpening}, {"LIST", kListOpening}, {"STOR up.bin", nullptr}};
  for (const auto& c : noConnection) {
    ASSERT_TRUE(client_.SendRaw(std::string(c.command) + "\r\n"));
    if (c.first != nullptr) {
      EXPECT_EQ(client_.ReadLine(), c.first);
    }
    EXPECT_EQ(client_.ReadLine(), "425 Can't open data connection.") << c.command;
    EXPECT_EQ(client_.Command("NOOP"), "200 OK") << c.command;
  }
  // A reader that goes away in the middle: 426 alone, no 226 after it.
  {
    CFile big;
    ASSERT_TRUE(big.CreateNew(Local("big.bin")));
    ASSERT_TRUE(big.Seek(64u << 20));
    ASSERT_TRUE(big.Write("!", 1));
  }
  CEventSocket data;
  ASSERT_FALSE(client_.OpenPassive(&data).empty());
  EXPECT_EQ(client_.Command("RETR big.bin"), kFileOpening);
  char piece[4096];
  uint32_t received = 0;
  ASSERT_TRUE(data.ReceiveFrom(piece, sizeof(piece), &received, nullptr, nullptr, 5000));
  data.Close();
  EXPECT_EQ(client_.ReadLine(20000), kAborted);
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
}

// A reader that stops reading for good is given up once no byte has moved for the
// stall limit (10 s); one slower than that limit between its reads is served to the end.
TEST_F(FtpOrdinaryFilesTest, SlowReadersAreServedAndStalledOnesGivenUp) {
  const std::string content = PatternBytes(4 << 20, 5);
  ASSERT_TRUE(WriteWholeFile(Local("movie.mpg"), content));
  CEventSocket data;
  ASSERT_FALSE(client_.OpenPassive(&data).empty());
  EXPECT_EQ(client_.Command("RETR movie.mpg"), kFileOpening);
  // 200 KB/s on average, in bursts with pauses of 1.5 s (longer than a block used to get).
  std::string bytes;
  std::string buffer(65536, '\0');
  const uint32_t start = TickCountMs();
  while (bytes.size() < content.size() && TickCountMs() - start < 60000) {
    const size_t burstEnd = bytes.size() + 300000;
    while (bytes.size() < burstEnd && bytes.size() < content.size()) {
      uint32_t received = 0;
      const uint32_t want =
          static_cast<uint32_t>(std::min<size_t>(buffer.size(), burstEnd - bytes.size()));
      if (!data.ReceiveFrom(&buffer[0], want, &received, nullptr, nullptr, 5000)) break;
      bytes.append(buffer.data(), received);
    }
    SleepMs(1500);
  }
  uint32_t received = 0;
  EXPECT_FALSE(data.ReceiveFrom(&buffer[0], 1, &received, nullptr, nullptr, 5000));  // the end
  data.Close();
  EXPECT_TRUE(bytes == content) << bytes.size();
  EXPECT_EQ(client_.ReadLine(), kComplete);

  {
    CFile big;
    ASSERT_TRUE(big.CreateNew(Local("big.bin")));
    ASSERT_TRUE(big.Seek(64u << 20));
    ASSERT_TRUE(big.Write("!", 1));
  }
  ASSERT_FALSE(client_.OpenPassive(&data).empty());
  EXPECT_EQ(client_.Command("RETR big.bin"), kFileOpening);
  EXPECT_EQ(client_.ReadLine(40000), kAborted);  // never read: the buffers fill, then 10 s
  data.Close();
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
}

}  // namespace
}  // namespace testing
}  // namespace kestova
