// The program's own folder (<scratch>/prog/) is neither served nor changed, whichever
// folder around it is served; its subfolder prog/rec/ and the rest stay usable.
#include <gtest/gtest.h>

#include <string>

#include "ftp/protected_folder.h"
#include "ftp/test_support/raw_ftp_client.h"
#include "ftp/test_support/test_ftp_server.h"
#include "platform/file_system.h"

namespace kestova {
namespace testing {
namespace {

const char kDenied[] = "550 Permission denied.";
const char* const kProgramFiles[] = {"KESTOV-A.exe", "KESTOV-A.ini", "KESTOVA.SYS"};

class FtpProtectedFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.IsListening());
    ASSERT_TRUE(CreateFolderTree(Local("prog/rec")));
    for (const char* name : kProgramFiles) {
      ASSERT_TRUE(WriteWholeFile(Local(std::string("prog/") + name), name));
    }
    ProtectFolder(Local("prog"));
  }
  void TearDown() override { ProtectFolder(CCountedString()); }
  void Serve(const std::string& relative) {
    server_.Service().SetServedFolder(Local(relative));
    ASSERT_TRUE(client_.ConnectAndLogin(server_.Port()));
  }
  CCountedString Local(const std::string& relative) const {
    return server_.Folder().PathOf(relative);
  }
  // prog/ holds exactly the program's files (and rec/), each with its original content.
  void ExpectProgramFolderUntouched() {
    for (const char* name : kProgramFiles) {
      EXPECT_EQ(ReadWholeFile(Local(std::string("prog/") + name)), name);
    }
    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(ListDirectory(Local("prog"), &entries));
    size_t real = 0;
    for (const DirectoryEntry& entry : entries) {
      if (entry.name != "." && entry.name != "..") ++real;
    }
    EXPECT_EQ(real, 4u);
    EXPECT_TRUE(IsDirectory(Local("prog/rec")));
  }
  CTestFtpServer server_;
  CRawFtpClient client_;
};

TEST_F(FtpProtectedFolderTest, NothingInTheProgramFolderIsWrittenOrServed) {
  Serve("");
  // Each spelling reaches prog/ by another way; each command would read or change it.
  const char* const kCommands[] = {
      "STOR prog/KESTOVA.SYS",   "APPE prog/KESTOV-A.ini",     "STOR prog/UxTheme.Dll",
      "STOR prog/rec/../new",    "STOR ./prog//KESTOVA.SYS",   "DELE prog/KESTOV-A.ini",
      "DELE prog\\KESTOV-A.exe", "RNFR prog/KESTOV-A.exe",     "RNFR prog",
      "RMD prog",                "MKD prog/made",              "RETR prog/KESTOV-A.ini",
      "CWD prog",                "RMD prog/rec",               "RNFR prog/rec"};
  for (const char* command : kCommands) {
    EXPECT_EQ(client_.Command(command), kDenied) << command;
  }
  ExpectProgramFolderUntouched();
}

TEST_F(FtpProtectedFolderTest, ServingTheProgramFolderItselfChangesNothing) {
  Serve("prog");
  EXPECT_EQ(client_.Command("STOR KESTOVA.SYS"), kDenied);
  EXPECT_EQ(client_.Command("DELE KESTOV-A.ini"), kDenied);
  EXPECT_EQ(client_.Command("RNFR KESTOV-A.exe"), kDenied);
  EXPECT_EQ(client_.Command("MKD rec2"), kDenied);
  ExpectProgramFolderUntouched();
}

TEST_F(FtpProtectedFolderTest, AFolderBelowTheProgramFolderIsServedAsUsual) {
  Serve("prog/rec");
  EXPECT_EQ(client_.Command("MKD made"), "257 \"/made\" created.");
  EXPECT_EQ(client_.Command("RMD made"), "250 RMD command successful.");
  EXPECT_EQ(client_.Command("STOR ../KESTOVA.SYS"), kDenied);  // outside the served folder
  ExpectProgramFolderUntouched();
}

}  // namespace
}  // namespace testing
}  // namespace kestova
