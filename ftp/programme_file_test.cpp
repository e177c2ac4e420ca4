#include "ftp/programme_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ftp/served_path.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

using testing::CScratchFolder;

std::string Create(const CScratchFolder& folder, const char* title) {
  CFile file;
  CCountedString name, path;
  CTransferMark mark;
  CLockHolder lock(g_fileNamingLock);
  if (!CreateProgrammeFile(folder.Path(), title, &file, &name, &path, &mark)) return "<failed>";
  EXPECT_TRUE(file.IsOpen());
  EXPECT_TRUE(path == folder.Path() + name);
  // The new file is in transfer until the mark goes: no other session may delete it.
  CCountedString resolved;
  EXPECT_TRUE(ResolvePathComponents(path, &resolved));
  EXPECT_TRUE(CTransfersHeld().Involve(resolved));
  return name.CStr();
}

TEST(ProgrammeFile, CollisionsGetNumberedNames) {
  CScratchFolder folder;
  EXPECT_EQ("TITLE.MPG", Create(folder, "TITLE"));
  EXPECT_EQ("TITLE_1.MPG", Create(folder, "TITLE"));
  EXPECT_EQ("TITLE_2.MPG", Create(folder, "TITLE"));
  EXPECT_EQ("OTHER.MPG", Create(folder, "OTHER"));
  EXPECT_EQ(".MPG", Create(folder, ""));
  EXPECT_EQ("_1.MPG", Create(folder, ""));
}

TEST(ProgrammeFile, ExistingFilesAreNeverOverwritten) {
  CScratchFolder folder;
  ASSERT_TRUE(testing::WriteWholeFile(folder.PathOf("NEWS.MPG"), "old programme"));
  EXPECT_EQ("NEWS_1.MPG", Create(folder, "NEWS"));
  EXPECT_EQ("old programme", testing::ReadWholeFile(folder.PathOf("NEWS.MPG")));
}

TEST(ProgrammeFile, AFolderOfThatNameCountsAsPresent) {
  CScratchFolder folder;
  ASSERT_EQ(CreateFolderResult::kCreated, CreateFolder(folder.PathOf("TITLE.MPG")));
  ASSERT_EQ(CreateFolderResult::kCreated, CreateFolder(folder.PathOf("TITLE_1.MPG")));
  EXPECT_EQ("TITLE_2.MPG", Create(folder, "TITLE"));
  EXPECT_TRUE(IsDirectory(folder.PathOf("TITLE.MPG")));
}

TEST(ProgrammeFile, TheFirstFreeNumberIsTaken) {
  CScratchFolder folder;
  ASSERT_TRUE(testing::WriteWholeFile(folder.PathOf("T.MPG"), "x"));
  ASSERT_TRUE(testing::WriteWholeFile(folder.PathOf("T_2.MPG"), "x"));
  EXPECT_EQ("T_1.MPG", Create(folder, "T"));
  EXPECT_EQ("T_3.MPG", Create(folder, "T"));
}

TEST(ProgrammeFile, MissingFolderFailsWithThePathTried) {
  CScratchFolder folder;
  CFile file;
  CCountedString name, path;
  CCountedString missing = folder.PathOf("no/such/folder/");
  CTransferMark mark;
  EXPECT_FALSE(CreateProgrammeFile(missing, "TITLE", &file, &name, &path, &mark));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(path == missing + "TITLE.MPG");
  CCountedString resolved;
  ASSERT_TRUE(ResolvePathComponents(path, &resolved));
  EXPECT_FALSE(CTransfersHeld().Involve(resolved));
}

#ifndef _WIN32
TEST(ProgrammeFile, ALinkThatLeadsNowhereCountsAsPresent) {
  CScratchFolder folder;
  ASSERT_EQ(0, symlink("/nonexistent/kestova-target", folder.PathOf("TITLE.MPG").CStr()));
  EXPECT_EQ("TITLE_1.MPG", Create(folder, "TITLE"));
}
#endif

TEST(ProgrammeFile, ConcurrentCreatorsOfOneTitleGetDistinctFiles) {
  CScratchFolder folder;
  constexpr int kThreads = 8;
  std::vector<std::string> names(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&folder, &names, i] { names[i] = Create(folder, "SAME"); });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<std::string> distinct(names.begin(), names.end());
  EXPECT_EQ(static_cast<size_t>(kThreads), distinct.size());
  EXPECT_EQ(0u, distinct.count("<failed>"));
  EXPECT_EQ(1u, distinct.count("SAME.MPG"));
  EXPECT_EQ(1u, distinct.count("SAME_7.MPG"));
}

}  // namespace
}  // namespace kestova
