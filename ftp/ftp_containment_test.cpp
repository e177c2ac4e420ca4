// Every path a client names must stay inside the served folder. The served folder
// here is <scratch>/rec/; <scratch>/rec2/ beside it holds what must stay untouched.
#include <gtest/gtest.h>

#include <string>

#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/file_system.h"

namespace kestova {
namespace testing {
namespace {

const char kDenied[] = "550 Permission denied.";

class FtpContainmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_TRUE(CreateFolderTree(Local("rec/sub")));
    ASSERT_TRUE(CreateFolderTree(Local("rec2/dir")));
    ASSERT_TRUE(WriteWholeFile(Local("rec2/secret"), "secret"));
    ASSERT_TRUE(WriteWholeFile(Local("rec/inside"), "inside"));
    server_.Service().SetServedFolder(Local("rec"));
    ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  }
  CCountedString Local(const std::string& relative) const {
    return server_.Folder().PathOf(relative);
  }
  // The neighbour folder is exactly as SetUp left it.
  void ExpectNeighbourUntouched() {
    EXPECT_EQ(ReadWholeFile(Local("rec2/secret")), "secret");
    EXPECT_TRUE(IsDirectory(Local("rec2/dir")));
    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(ListDirectory(Local("rec2"), &entries));
    size_t real = 0;
    for (const DirectoryEntry& entry : entries) {
      if (entry.name != "." && entry.name != "..") ++real;
    }
    EXPECT_EQ(real, 2u);
    std::vector<DirectoryEntry> top;
    ASSERT_TRUE(ListDirectory(server_.Folder().Path(), &top));
    for (const DirectoryEntry& entry : top) {
      EXPECT_TRUE(entry.name == "." || entry.name == ".." || entry.name == "rec" ||
                  entry.name == "rec2")
          << entry.name.CStr();
    }
  }
  CTestFtpServer server_;
  CRawFtpClient client_;
};

const char* const kEscapes[] = {
    "../rec2/secret",  "..\\rec2\\secret", "sub/../../rec2/secret", "sub\\..//..\\rec2/secret",
    "/../rec2/secret", "./../rec2/secret", ".../rec2/secret"};

TEST_F(FtpContainmentTest, RetrOutsideIsRefusedAndSendsNothing) {
  for (const char* escape : kEscapes) {
    CEventSocket data;
    ASSERT_FALSE(client_.OpenPassive(&data).empty());
    EXPECT_EQ(client_.Command(std::string("RETR ") + escape), kDenied) << escape;
    EXPECT_EQ(ReceiveAll(data, 5000), "") << escape;
    data.Close();
  }
  // An absolute local path is taken below the served folder, where it names nothing.
  const std::string absolute(Local("rec2/secret").CStr());
  EXPECT_EQ(client_.Command("RETR " + absolute), "550 \"" + absolute + "\": File not found.");
  ExpectNeighbourUntouched();
}

TEST_F(FtpContainmentTest, StorOutsideCreatesAndOverwritesNothing) {
  for (const char* escape : kEscapes) {
    EXPECT_EQ(client_.Command(std::string("STOR ") + escape), kDenied) << escape;
    EXPECT_EQ(client_.Command(std::string("APPE ") + escape), kDenied) << escape;
  }
  EXPECT_EQ(client_.Command("STOR ../rec2/new"), kDenied);
  ExpectNeighbourUntouched();
}

TEST_F(FtpContainmentTest, DirectoryAndNameCommandsOutsideAreRefused) {
  EXPECT_EQ(client_.Command("CWD .."), kDenied);
  EXPECT_EQ(client_.Command("CWD ../rec2"), kDenied);
  EXPECT_EQ(client_.Command("XCWD sub\\..\\..\\rec2"), kDenied);
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
  EXPECT_EQ(client_.Command("MKD ../rec2/made"), kDenied);
  EXPECT_EQ(client_.Command("MKD ../made"), kDenied);
  EXPECT_EQ(client_.Command("RMD ../rec2/dir"), kDenied);
  EXPECT_EQ(client_.Command("XRMD ..\\rec2\\dir"), kDenied);
  EXPECT_EQ(client_.Command("DELE ../rec2/secret"), kDenied);
  EXPECT_EQ(client_.Command("DELE sub/../../rec2/secret"), kDenied);
  EXPECT_EQ(client_.Command("RNFR ../rec2/secret"), kDenied);
  EXPECT_EQ(client_.Command("RNFR inside"), "350 RNFR command successful.");
  EXPECT_EQ(client_.Command("RNTO ../rec2/stolen"), kDenied);
  EXPECT_EQ(ReadWholeFile(Local("rec/inside")), "inside");
  ExpectNeighbourUntouched();
}

TEST_F(FtpContainmentTest, TheCurrentDirectoryNeverLeavesTheRoot) {
  // "../rec/sub" resolves inside the root: the current directory becomes "/sub/", and
  // CDUP and ".." stop at the top.
  EXPECT_EQ(client_.Command("CWD ../rec/sub"), "250 \"../rec/sub\": CWD command successful.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/sub/\" is current directory.");
  EXPECT_EQ(client_.Command("CDUP"), "250 CDUP command successful.");
  EXPECT_EQ(client_.Command("CDUP"), "250 CDUP command successful.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
  EXPECT_EQ(client_.Command("CWD /sub/../.."), kDenied);
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
  EXPECT_EQ(client_.Command("STOR /../rec2/x"), kDenied);
  EXPECT_EQ(client_.Command("MKD \\..\\rec2\\y"), kDenied);
  EXPECT_EQ(client_.Command("DELE /../rec2/secret"), kDenied);
  EXPECT_EQ(client_.Command("SIZE /../rec2/secret"), "213 0");
  EXPECT_EQ(client_.Command("LIST /../rec2"), kDenied);
  ExpectNeighbourUntouched();
}

TEST_F(FtpContainmentTest, DeviceNamesAreRefused) {
  EXPECT_EQ(client_.Command("RETR con"), kDenied);
  EXPECT_EQ(client_.Command("RETR sub/COM1.txt"), kDenied);
  EXPECT_EQ(client_.Command("STOR nul.mpg"), kDenied);
  EXPECT_EQ(client_.Command("CWD aux"), kDenied);
  EXPECT_EQ(client_.Command("MKD prn"), kDenied);
  // (On Windows a device name "exists" in every folder, so the listing is checked.)
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(Local("rec"), &entries));
  for (const DirectoryEntry& entry : entries) {
    EXPECT_TRUE(entry.name != "nul.mpg" && entry.name != "prn") << entry.name.CStr();
  }
}

TEST_F(FtpContainmentTest, PathsThatClimbAndComeBackStayUsable) {
  EXPECT_EQ(client_.Command("CWD sub/../sub"), "250 \"sub/../sub\": CWD command successful.");
  EXPECT_EQ(client_.Command("MKD ../made"), "257 \"/made\" created.");
  EXPECT_TRUE(IsDirectory(Local("rec/made")));
  EXPECT_EQ(client_.Command("RNFR ..\\inside"), "350 RNFR command successful.");
  EXPECT_EQ(client_.Command("RNTO ../made/inside"), "250 RNTO command successful.");
  EXPECT_EQ(ReadWholeFile(Local("rec/made/inside")), "inside");
}

}  // namespace
}  // namespace testing
}  // namespace kestova
