// Directory, name and informational commands on a served scratch folder.
#include <gtest/gtest.h>

#include <string>

#include "ftp/served_path.h"
#include "ftp/test_support/logged_in_ftp_test.h"
#include "platform/file_system.h"

namespace kestova {
namespace testing {
namespace {

using FtpCommandsTest = LoggedInFtpTest;

TEST_F(FtpCommandsTest, InformationalReplies) {
  EXPECT_EQ(client_.Command("NOOP"), "200 OK");
  EXPECT_EQ(client_.Command("SYST"), "215 UNIX emulated by KESTOV-A FTP Server.");
  EXPECT_EQ(client_.Command("TYPE I"), "200 Type set to I");
  EXPECT_EQ(client_.Command("TYPE A N"), "200 Type set to A N");
  EXPECT_EQ(client_.Command("REST 100"), "350 Restarting at 100.");
  EXPECT_EQ(client_.Command("REST  -7x"), "350 Restarting at -7.");
  EXPECT_EQ(client_.Command("SIZE 1234"), "213 1234");
  EXPECT_EQ(client_.Command("SIZE a.mpg"), "213 0");
  EXPECT_EQ(client_.Command("SITE CHMOD 777 x"), "550 Permission denied.");
  EXPECT_EQ(client_.Command("HELP LIST"), "501 Unknown command LIST");
}

TEST_F(FtpCommandsTest, HelpIsOneMultiLineReply) {
  ASSERT_TRUE(client_.SendRaw("HELP\r\n"));
  std::string text;
  for (int i = 0; i < 10; ++i) text += client_.ReadLine() + "\r\n";
  EXPECT_EQ(text,
            "214-The following commands are recognized:\r\nABOR\tAPPE\tBYE\tCDUP\r\n"
            "CWD\tDELE\tHELP\tLIST\r\nMKD\tNLST\tNOOP\tPASS\r\nPASV\tP@SW\tPORT\tPWD\r\n"
            "QUIT\tREST\tRETR\tRMD\r\nRNFR\tRNTO\tSITE\tSIZE\r\nSTOR\tSYST\tTYPE\tUSER\r\n"
            "XCWD\tXMKD\tXPWD\tXRMD\r\n214 HELP command successful.\r\n");
}

TEST_F(FtpCommandsTest, ChangingDirectoriesAndBack) {
  ASSERT_TRUE(CreateFolderTree(Local("a/b")));
  ASSERT_TRUE(WriteWholeFile(Local("file.txt"), "x"));
  EXPECT_EQ(client_.Command("CWD /"), "250 \"/\" is current directory.");
  EXPECT_EQ(client_.Command("CWD a"), "250 \"a\": CWD command successful.");
  EXPECT_EQ(client_.Command("XCWD b"), "250 \"b\": XCWD command successful.");
  EXPECT_EQ(client_.Command("XPWD"), "257 \"/a/b/\" is current directory.");
  EXPECT_EQ(client_.Command("CDUP"), "250 CDUP command successful.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/a/\" is current directory.");
  EXPECT_EQ(client_.Command("CDUP"), "250 CDUP command successful.");
  EXPECT_EQ(client_.Command("CDUP"), "250 CDUP command successful.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
  EXPECT_EQ(client_.Command("CWD file.txt"), "550 \"file.txt\": Directory not found.");
  EXPECT_EQ(client_.Command("CWD missing"), "550 \"missing\": Directory not found.");
  EXPECT_EQ(client_.Command("CWD /"), "250 \"/\" is current directory.");
  EXPECT_EQ(client_.Command("PWD"), "257 \"/\" is current directory.");
}

TEST_F(FtpCommandsTest, MakeAndRemoveDirectories) {
  EXPECT_EQ(client_.Command("MKD new"), "257 \"/new\" created.");
#ifndef _WIN32
  // A quote in the path is doubled in the reply (Windows names hold none).
  EXPECT_EQ(client_.Command("CWD new"), "250 \"new\": CWD command successful.");
  EXPECT_EQ(client_.Command("MKD /new/\"q\""), "257 \"/new/\"\"q\"\"\" created.");
  EXPECT_EQ(client_.Command("RMD \"q\""), "250 RMD command successful.");
  EXPECT_EQ(client_.Command("CWD /"), "250 \"/\": CWD command successful.");
#endif
  EXPECT_TRUE(IsDirectory(Local("new")));
  EXPECT_EQ(client_.Command("XMKD new"), "550 Can't create directory. Permission denied.");
  EXPECT_EQ(client_.Command("MKD deep/er"), "550 Can't create directory. Permission denied.");
  ASSERT_TRUE(WriteWholeFile(Local("new/inside"), "x"));
  EXPECT_EQ(client_.Command("RMD new"), "550 Can't remove directory. Permission denied.");
  ASSERT_TRUE(DeleteFileAt(Local("new/inside")));
  EXPECT_EQ(client_.Command("XRMD new"), "250 RMD command successful.");
  EXPECT_FALSE(PathExists(Local("new")));
  EXPECT_EQ(client_.Command("RMD new"), "550 Permission denied.");
  // The served folder itself is not the client's to remove.
  EXPECT_EQ(client_.Command("RMD ."), "550 Permission denied.");
  EXPECT_TRUE(IsDirectory(server_.Folder().Path()));
}

TEST_F(FtpCommandsTest, DeleteRefusalsAndSuccess) {
  ASSERT_TRUE(WriteWholeFile(Local("a.mpg"), "data"));
  ASSERT_TRUE(CreateFolderTree(Local("dir")));
  EXPECT_EQ(client_.Command("DELE missing.mpg"), "550 \"missing.mpg\": File not found.");
  EXPECT_EQ(client_.Command("DELE dir"), "550 Permission denied(dir).");
  EXPECT_EQ(client_.Command("DELE ..\\x"), "550 Permission denied.");
  EXPECT_EQ(client_.Command("DELE a.mpg"), "250 DELE command successful.");
  EXPECT_FALSE(PathExists(Local("a.mpg")));
}

TEST_F(FtpCommandsTest, RenameRulesAndRefusals) {
  ASSERT_TRUE(WriteWholeFile(Local("a"), "A"));
  ASSERT_TRUE(WriteWholeFile(Local("b"), "B"));
  EXPECT_EQ(client_.Command("RNTO c"), "550 Permission denied.");
  EXPECT_EQ(client_.Command("RNFR missing"), "550 Permission denied.");
  EXPECT_EQ(client_.Command("RNFR a"), "350 RNFR command successful.");
  // Onto an existing name: refused, and the source is forgotten.
  EXPECT_EQ(client_.Command("RNTO b"), "550 Permission denied.");
  EXPECT_EQ(client_.Command("RNTO c"), "550 Permission denied.");
  EXPECT_FALSE(PathExists(Local("c")));
  // Any command between RNFR and RNTO forgets the source, and so does a failed RNFR.
  ASSERT_TRUE(CreateFolderTree(Local("dir")));
  ASSERT_TRUE(WriteWholeFile(Local("dir/a"), "dir/A"));
  const struct {
    const char* between;
    const char* reply;
  } kBetween[] = {
      {"NOOP", "200 OK"},
      {"RNFR missing", "550 Permission denied."},
      {"CWD dir", "250 \"dir\": CWD command successful."},
  };
  for (const auto& c : kBetween) {
    EXPECT_EQ(client_.Command("CWD /").substr(0, 4), "250 ");
    EXPECT_EQ(client_.Command("RNFR a"), "350 RNFR command successful.");
    EXPECT_EQ(client_.Command(c.between), c.reply);
    EXPECT_EQ(client_.Command("RNTO c"), "550 Permission denied.") << c.between;
  }
  EXPECT_TRUE(PathExists(Local("a")));
  EXPECT_TRUE(PathExists(Local("dir/a")));
  EXPECT_FALSE(PathExists(Local("c")));
  EXPECT_FALSE(PathExists(Local("dir/c")));
  EXPECT_EQ(client_.Command("CWD /").substr(0, 4), "250 ");
  EXPECT_EQ(client_.Command("RNFR a"), "350 RNFR command successful.");
  EXPECT_EQ(client_.Command("RNTO c"), "250 RNTO command successful.");
  EXPECT_EQ(ReadWholeFile(Local("c")), "A");
  EXPECT_FALSE(PathExists(Local("a")));
  EXPECT_EQ(client_.Command("RNFR ."), "550 Permission denied.");
}

TEST_F(FtpCommandsTest, NamesWithControlCharactersOrTooLongToRemoveAreNotCreated) {
  ASSERT_TRUE(WriteWholeFile(Local("a"), "A"));
  const std::string deep(kLongestCreatedPath, 'd');
  const char* kRefused = "553 Requested action not taken. File name not allowed.";
  for (const std::string& name :
       {std::string("x\ny"), std::string("x\ry"), std::string("tab\there"),
        std::string("del\x7f"), std::string("esc\x1b[2J"), deep}) {
    EXPECT_EQ(client_.Command("MKD " + name), kRefused);
    EXPECT_EQ(client_.Command("STOR " + name), kRefused);
    EXPECT_EQ(client_.Command("APPE " + name), kRefused);
    EXPECT_EQ(client_.Command("RNFR a"), "350 RNFR command successful.");
    EXPECT_EQ(client_.Command("RNTO " + name), kRefused);
  }
  EXPECT_TRUE(PathExists(Local("a")));
  EXPECT_EQ(client_.Command("MKD ok"), "257 \"/ok\" created.");
}

// A rename may not carry a folder's contents past the limit either: 19 levels of 200 bytes
// fit under a short name and not under one of 250 bytes.
TEST_F(FtpCommandsTest, AFolderIsNotRenamedWhereItsContentsWouldBeTooDeepToRemove) {
#ifdef _WIN32
  GTEST_SKIP() << "the ANSI file functions stop at 260 bytes, far below the limit";
#endif
  std::string tree = "t";
  for (int level = 0; level < 19; ++level) {
    tree += "/" + std::string(200, static_cast<char>('a' + level));
  }
  ASSERT_TRUE(CreateFolderTree(Local(tree)));
  EXPECT_EQ(client_.Command("RNFR t"), "350 RNFR command successful.");
  EXPECT_EQ(client_.Command("RNTO " + std::string(250, 'n')),
            "553 Requested action not taken. File name not allowed.");
  EXPECT_TRUE(IsDirectory(Local("t")));
  EXPECT_EQ(client_.Command("RNFR t"), "350 RNFR command successful.");
  EXPECT_EQ(client_.Command("RNTO s"), "250 RNTO command successful.");
  EXPECT_TRUE(IsDirectory(Local("s" + tree.substr(1))));
}

}  // namespace
}  // namespace testing
}  // namespace kestova
