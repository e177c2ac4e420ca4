// A thread confined to a folder: links inside it work, links that lead outside fail
// every operation and leave the outside untouched, with openat2 and without it.
#include "platform/posix/confined_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

std::string ReadAll(const CCountedString& path) {
  CFile file;
  if (!file.OpenForRead(path)) return "<refused>";
  std::string text;
  char buffer[256];
  uint32_t got = 0;
  while (file.Read(buffer, sizeof(buffer), &got) && got > 0) text.append(buffer, got);
  return text;
}

bool WriteText(const CCountedString& path, const std::string& text) {
  CFile file;
  return file.OpenForWrite(path) && file.Write(text.data(), static_cast<uint32_t>(text.size()));
}

// scratch/outside/secret, scratch/root/sub/file, and links in root that lead out and in.
class ConfinedPathTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    UseRealPathContainment(GetParam());
    base_ = scratch_.Path();
    root_ = scratch_.PathOf("root");
    ASSERT_EQ(CreateFolder(scratch_.PathOf("outside")), CreateFolderResult::kCreated);
    ASSERT_TRUE(WriteText(scratch_.PathOf("outside/secret"), "secret"));
    ASSERT_EQ(CreateFolder(root_), CreateFolderResult::kCreated);
    ASSERT_EQ(CreateFolder(root_ + "/sub"), CreateFolderResult::kCreated);
    ASSERT_TRUE(WriteText(root_ + "/sub/file", "inside"));
    const std::string root = root_.CStr();
    const std::string outside = std::string(scratch_.PathWithoutSeparator().CStr()) + "/outside";
    links_ = {{"out", "../outside"}, {"absout", outside},      {"fileout", outside + "/secret"},
              {"in", "sub"},         {"absin", root + "/sub"}, {"dangling", "/nonexistent/kestova"},
              {"up", ".."}};
    for (const auto& link : links_) {
      ASSERT_EQ(symlink(link.second.c_str(), (root + "/" + link.first).c_str()), 0) << link.first;
    }
  }
  void TearDown() override {
    UseRealPathContainment(false);
    for (const auto& link : links_) unlink((std::string(root_.CStr()) + "/" + link.first).c_str());
  }

  testing::CScratchFolder scratch_;
  CCountedString base_;
  CCountedString root_;
  std::vector<std::pair<std::string, std::string>> links_;
};

TEST_P(ConfinedPathTest, LinksInsideWorkAndLinksOutsideAreRefused) {
  CFolderConfinement confinement(root_);
  const struct {
    const char* path;
    bool leadsOutside;
  } cases[] = {
      {"/sub/file", false},
      {"/in/file", false},
      {"/absin/file", false},
      {"/in/new", false},
      {"/new", false},
      {"/missing/file", false},  // a folder that is not there is no way out
      {"/sub/missing/deeper", false},
      {"/out/secret", true},
      {"/out/new", true},
      {"/absout/secret", true},
      {"/fileout", true},
      {"/dangling", true},
      {"/up/outside/secret", true},
      {"/out", true},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(PathLeadsOutside(root_, root_ + entry.path), entry.leadsOutside) << entry.path;
  }
  EXPECT_EQ(ReadAll(root_ + "/in/file"), "inside");
  EXPECT_EQ(ReadAll(root_ + "/absin/file"), "inside");
  EXPECT_TRUE(IsDirectory(root_ + "/in"));
  EXPECT_TRUE(WriteText(root_ + "/in/new", "new"));
  EXPECT_EQ(ReadAll(root_ + "/sub/new"), "new");
}

TEST_P(ConfinedPathTest, NothingOutsideIsReadWrittenListedOrChanged) {
  {
    CFolderConfinement confinement(root_);
    EXPECT_EQ(ReadAll(root_ + "/out/secret"), "<refused>");
    EXPECT_EQ(ReadAll(root_ + "/absout/secret"), "<refused>");
    EXPECT_EQ(ReadAll(root_ + "/fileout"), "<refused>");
    EXPECT_FALSE(WriteText(root_ + "/fileout", "overwritten"));
    EXPECT_FALSE(WriteText(root_ + "/out/planted", "planted"));
    EXPECT_FALSE(WriteText(root_ + "/dangling", "planted"));
    CFile file;
    EXPECT_FALSE(file.CreateNew(root_ + "/dangling"));
    EXPECT_FALSE(DeleteFileAt(root_ + "/out/secret"));
    EXPECT_FALSE(MovePath(root_ + "/out/secret", root_ + "/stolen"));
    EXPECT_FALSE(MovePath(root_ + "/sub/file", root_ + "/out/file"));
    EXPECT_EQ(CreateFolder(root_ + "/out/made"), CreateFolderResult::kFailed);
    EXPECT_FALSE(PathExists(root_ + "/out/secret"));
    std::vector<DirectoryEntry> entries;
    EXPECT_FALSE(ListDirectory(root_ + "/out", &entries));
    // The links themselves are names inside the folder.
    EXPECT_TRUE(NameIsTaken(root_ + "/dangling"));
  }
  std::vector<DirectoryEntry> outside;
  ASSERT_TRUE(ListDirectory(scratch_.PathOf("outside"), &outside));
  EXPECT_EQ(outside.size(), 3u);  // ".", ".." and secret
  EXPECT_EQ(ReadAll(scratch_.PathOf("outside/secret")), "secret");
}

INSTANTIATE_TEST_SUITE_P(OpenAt2AndRealPath, ConfinedPathTest, ::testing::Bool());

}  // namespace
}  // namespace kestova
