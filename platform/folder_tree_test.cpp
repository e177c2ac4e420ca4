#include "platform/folder_tree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"
#include "platform/thread.h"
#include "platform/time.h"

namespace kestova {
namespace {

// Shift_JIS folder names whose trail byte is 0x5C, the byte of '\\'.
constexpr char kOmote[] = "\x95\x5C";  // 表
constexpr char kSo[] = "\x83\x5C";     // ソ

// A folder creator that only records the names it is asked for.
std::vector<std::string> g_requested;
CreateFolderResult g_finalResult = CreateFolderResult::kCreated;

CreateFolderResult RecordFolder(const CCountedString& path) {
  g_requested.push_back(std::string(path.CStr(), path.Length()));
  return g_finalResult;
}

std::vector<std::string> Walk(const CCountedString& path, const CodePage& codePage, bool* result,
                              CreateFolderResult finalResult) {
  g_requested.clear();
  g_finalResult = finalResult;
  *result = CreateFolderTreeWith(path, codePage, &RecordFolder);
  return g_requested;
}

using Names = std::vector<std::string>;

TEST(FolderTreeWalkTest, CreatesEveryPrefixThenTheWholePathWithoutTrailingSeparator) {
  bool result = false;
  EXPECT_EQ(Walk("D:\\A\\B\\", CodePage::SingleByte(), &result, CreateFolderResult::kCreated),
            (Names{"D:\\", "D:\\A\\", "D:\\A\\B"}));
  EXPECT_TRUE(result);
  EXPECT_EQ(Walk("/srv/a/b", CodePage::SingleByte(), &result, CreateFolderResult::kCreated),
            (Names{"/", "/srv/", "/srv/a/", "/srv/a/b"}));
  // Only one trailing separator is dropped.
  EXPECT_EQ(Walk("x//", CodePage::SingleByte(), &result, CreateFolderResult::kCreated),
            (Names{"x/", "x/"}));
}

TEST(FolderTreeWalkTest, TheFinalCreationDecides) {
  bool result = true;
  Walk("a\\b", CodePage::SingleByte(), &result, CreateFolderResult::kFailed);
  EXPECT_FALSE(result);
  Walk("a\\b", CodePage::SingleByte(), &result, CreateFolderResult::kAlreadyExists);
  EXPECT_TRUE(result);
}

TEST(FolderTreeWalkTest, EmptyPathsCreateNothing) {
  bool result = true;
  EXPECT_TRUE(Walk("", CodePage::SingleByte(), &result, CreateFolderResult::kCreated).empty());
  EXPECT_FALSE(result);
  result = true;
  EXPECT_TRUE(Walk("\\", CodePage::SingleByte(), &result, CreateFolderResult::kCreated).empty());
  EXPECT_FALSE(result);
}

TEST(FolderTreeWalkTest, ShiftJisTrailBytesAreNeitherSplitNorDropped) {
  bool result = false;
  const std::string omote = kOmote;
  const std::string so = kSo;
  // "D:\表\ソ" ends in the trail byte 0x5C, which is no trailing separator.
  EXPECT_EQ(Walk(CCountedString("D:\\") + kOmote + "\\" + kSo, CodePage::ShiftJis(), &result,
                 CreateFolderResult::kCreated),
            (Names{"D:\\", "D:\\" + omote + "\\", "D:\\" + omote + "\\" + so}));
  EXPECT_TRUE(result);
  EXPECT_EQ(Walk(CCountedString("D:\\") + kSo + kOmote + "\\", CodePage::ShiftJis(), &result,
                 CreateFolderResult::kCreated),
            (Names{"D:\\", "D:\\" + so + omote}));
  // Read as single bytes, the same text would be cut inside the characters.
  EXPECT_EQ(Walk(CCountedString("D:\\") + kOmote, CodePage::SingleByte(), &result,
                 CreateFolderResult::kCreated),
            (Names{"D:\\", "D:\\\x95"}));
}

class FolderTreeTest : public ::testing::Test {
 protected:
  testing::CScratchFolder scratch_;
};

TEST_F(FolderTreeTest, CreatesEveryMissingLevel) {
  const CCountedString deep = scratch_.PathWithoutSeparator() + "\\one\\two/three\\";
  EXPECT_TRUE(CreateFolderTree(deep));
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("one")));
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("one/two")));
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("one/two/three")));
  EXPECT_TRUE(CreateFolderTree(deep));  // again: it exists
  EXPECT_TRUE(CreateFolderTree(scratch_.PathOf("one/two")));
}

TEST_F(FolderTreeTest, AnExistingFileCountsAsSuccessAndEmptyAsFailure) {
  CFile file;
  ASSERT_TRUE(file.CreateNew(scratch_.PathOf("file")));
  ASSERT_TRUE(file.Close());
  EXPECT_TRUE(CreateFolderTree(scratch_.PathOf("file")));
  EXPECT_FALSE(IsDirectory(scratch_.PathOf("file")));
  EXPECT_FALSE(CreateFolderTree(scratch_.PathOf("file/below")));
  EXPECT_FALSE(CreateFolderTree(""));
}

struct Race {
  CCountedString path;
  std::atomic<int> succeeded{0};
  std::atomic<int> finished{0};
};

void CreateRacingTree(void* argument) {
  Race* race = static_cast<Race*>(argument);
  if (CreateFolderTree(race->path)) race->succeeded.fetch_add(1);
  race->finished.fetch_add(1);
}

TEST_F(FolderTreeTest, ThreadsCreatingTheSameTreeAllSucceed) {
  constexpr int kThreads = 6;
  Race race;
  race.path = scratch_.PathWithoutSeparator() + "\\race\\a\\b\\c\\d\\";
  int started = 0;
  for (int t = 0; t < kThreads; ++t) started += StartDetachedThread(&CreateRacingTree, &race);
  ASSERT_EQ(started, kThreads);
  for (int i = 0; i < 10000 && race.finished.load() < kThreads; ++i) SleepMs(1);
  ASSERT_EQ(race.finished.load(), kThreads);
  EXPECT_EQ(race.succeeded.load(), kThreads);
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("race/a/b/c/d")));
}

// With the Japanese code page (Windows under LANG=ja_JP), real Shift_JIS folder
// names whose trail byte is 0x5C are created and found by the system.
TEST_F(FolderTreeTest, ShiftJisFolderNamesOnASystemWithCodePage932) {
  if (!CodePage::System().IsLeadByte(0x95)) GTEST_SKIP() << "system code page is not 932";
  const CCountedString top = scratch_.PathWithoutSeparator() + "\\" + kOmote;
  const CCountedString below = top + "\\" + kSo;
  EXPECT_TRUE(CreateFolderTree(below + "\\"));
  EXPECT_TRUE(IsDirectory(top));
  EXPECT_TRUE(IsDirectory(below));
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(top, &entries));
  bool found = false;
  for (const DirectoryEntry& entry : entries) found = found || entry.name == kSo;
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace kestova
