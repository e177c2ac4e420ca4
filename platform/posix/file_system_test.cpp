// What only the POSIX bodies can show: permission bits, a file-size limit standing
// in for a full disk, and the atomic replacement of the settings file.
#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>

#include "platform/settings_file.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

class PosixFileSystemTest : public ::testing::Test {
 protected:
  testing::CScratchFolder scratch_;
};

TEST_F(PosixFileSystemTest, AFileWithoutWritePermissionIsReadOnly) {
  const CCountedString path = scratch_.PathOf("locked");
  CFile file;
  ASSERT_TRUE(file.CreateNew(path));
  ASSERT_TRUE(file.Close());
  EXPECT_FALSE(IsReadOnly(path));
  ASSERT_EQ(chmod(path.CStr(), 0444), 0);
  EXPECT_TRUE(IsReadOnly(path));
  PathAttributes attributes;
  ASSERT_TRUE(GetPathAttributes(path, &attributes));
  EXPECT_TRUE(attributes.isReadOnly);
  EXPECT_FALSE(attributes.isDirectory);
}

// RLIMIT_FSIZE makes write() fail with EFBIG past the limit, as a full disk fails
// with ENOSPC: the short write must be reported.
TEST_F(PosixFileSystemTest, AWriteThatDoesNotFitIsReported) {
  struct sigaction ignore {};
  struct sigaction previousAction {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previousAction), 0);
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 4096;

  CFile file;
  ASSERT_TRUE(file.CreateNew(scratch_.PathOf("full")));
  const std::string bytes(10000, 'x');
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool firstFits = file.Write(bytes.data(), 4000);
  const bool restDoesNot = file.Write(bytes.data(), 6000);
  setrlimit(RLIMIT_FSIZE, &previous);
  sigaction(SIGXFSZ, &previousAction, nullptr);
  EXPECT_TRUE(firstFits);
  EXPECT_FALSE(restDoesNot);
}

TEST_F(PosixFileSystemTest, SettingsAreReplacedWholeAndKeepTheirPermissions) {
  const CCountedString ini = scratch_.PathOf("KESTOV-A.ini");
  ASSERT_TRUE(WriteSettingTo(ini, "PageReceive", "Folder", "/srv/a/"));
  ASSERT_EQ(chmod(ini.CStr(), 0600), 0);
  ASSERT_TRUE(WriteSettingTo(ini, "PageReceive", "Folder", "/srv/b/"));

  struct stat status {};
  ASSERT_EQ(stat(ini.CStr(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(scratch_.PathWithoutSeparator(), &entries));
  EXPECT_EQ(entries.size(), 3u);  // ".", ".." and the settings file: no temporary left

  // A read-only settings file is not replaced.
  ASSERT_EQ(chmod(ini.CStr(), 0400), 0);
  EXPECT_FALSE(WriteSettingTo(ini, "PageReceive", "Folder", "/srv/c/"));
  CCountedString value;
  ReadSettingFrom(ini, "PageReceive", "Folder", "", &value);
  EXPECT_EQ(value, "/srv/b/");
}

}  // namespace
}  // namespace kestova
