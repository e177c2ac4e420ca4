// What only the POSIX bodies can show: permission bits and the atomic replacement of
// the settings file.
#include "platform/file_system.h"

#include <gtest/gtest.h>
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
