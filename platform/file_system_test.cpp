#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/test_support/injected_file_faults.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

// Writes `text` as the whole content of a new file.
void MakeFile(const CCountedString& path, const std::string& text) {
  CFile file;
  ASSERT_TRUE(file.CreateNew(path)) << path.CStr();
  ASSERT_TRUE(file.Write(text.data(), static_cast<uint32_t>(text.size())));
  ASSERT_TRUE(file.Close());
}

// The whole content of a file, or "<unreadable>".
std::string ReadFile(const CCountedString& path) {
  CFile file;
  if (!file.OpenForRead(path)) return "<unreadable>";
  std::string text;
  char buffer[512];
  for (int i = 0; i < 100000; ++i) {
    uint32_t got = 0;
    if (!file.Read(buffer, sizeof buffer, &got)) return "<unreadable>";
    if (got == 0) break;
    text.append(buffer, got);
  }
  return text;
}

// Minutes since 1970-01-01 of a calendar time (proleptic Gregorian).
long long MinutesOf(const CalendarTime& t) {
  const int y = t.year - (t.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
  return days * 1440 + t.hour * 60 + t.minute;
}

class FileSystemTest : public ::testing::Test {
 protected:
  testing::CScratchFolder scratch_;
};

TEST_F(FileSystemTest, AttributesTellFilesFoldersAndMissingNames) {
  const CCountedString file = scratch_.PathOf("file.txt");
  MakeFile(file, "x");
  PathAttributes attributes;
  ASSERT_TRUE(GetPathAttributes(file, &attributes));
  EXPECT_FALSE(attributes.isDirectory);
  EXPECT_FALSE(attributes.isReadOnly);
  EXPECT_TRUE(PathExists(file));
  EXPECT_FALSE(IsDirectory(file));

  EXPECT_TRUE(IsDirectory(scratch_.PathWithoutSeparator()));
  EXPECT_FALSE(IsReadOnly(scratch_.PathWithoutSeparator()));

  const CCountedString missing = scratch_.PathOf("missing");
  EXPECT_FALSE(GetPathAttributes(missing, &attributes));
  EXPECT_FALSE(PathExists(missing));
  EXPECT_FALSE(IsDirectory(missing));
  EXPECT_FALSE(IsReadOnly(missing));
  EXPECT_FALSE(PathExists(""));
}

TEST_F(FileSystemTest, BackslashAndSlashBothSeparate) {
  ASSERT_EQ(CreateFolder(scratch_.PathOf("outer")), CreateFolderResult::kCreated);
  ASSERT_EQ(CreateFolder(scratch_.PathWithoutSeparator() + "\\outer\\inner"),
            CreateFolderResult::kCreated);
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("outer/inner")));
  MakeFile(scratch_.PathWithoutSeparator() + "\\outer/inner\\file", "abc");
  EXPECT_EQ(ReadFile(scratch_.PathOf("outer/inner/file")), "abc");
}

TEST_F(FileSystemTest, CreateFolderReportsExistingNamesAndMissingParents) {
  const CCountedString folder = scratch_.PathOf("folder");
  EXPECT_EQ(CreateFolder(folder), CreateFolderResult::kCreated);
  EXPECT_EQ(CreateFolder(folder), CreateFolderResult::kAlreadyExists);
  MakeFile(scratch_.PathOf("file"), "");
  EXPECT_EQ(CreateFolder(scratch_.PathOf("file")), CreateFolderResult::kAlreadyExists);
  EXPECT_EQ(CreateFolder(scratch_.PathOf("no/such/parent")), CreateFolderResult::kFailed);
}

TEST_F(FileSystemTest, RemoveAndDeleteTakeOnlyTheirOwnKind) {
  const CCountedString folder = scratch_.PathOf("folder");
  const CCountedString file = scratch_.PathOf("folder/file");
  ASSERT_EQ(CreateFolder(folder), CreateFolderResult::kCreated);
  MakeFile(file, "x");
  EXPECT_FALSE(DeleteFileAt(folder));
  EXPECT_FALSE(RemoveFolder(folder));  // not empty
  EXPECT_FALSE(RemoveFolder(file));
  EXPECT_TRUE(DeleteFileAt(file));
  EXPECT_FALSE(PathExists(file));
  EXPECT_FALSE(DeleteFileAt(file));
  EXPECT_TRUE(RemoveFolder(folder));
  EXPECT_FALSE(PathExists(folder));
}

TEST_F(FileSystemTest, MoveRenamesButNeverReplaces) {
  const CCountedString a = scratch_.PathOf("a");
  const CCountedString b = scratch_.PathOf("b");
  MakeFile(a, "first");
  MakeFile(b, "second");
  EXPECT_FALSE(MovePath(a, b));
  EXPECT_EQ(ReadFile(a), "first");
  EXPECT_EQ(ReadFile(b), "second");

  const CCountedString c = scratch_.PathOf("c");
  EXPECT_TRUE(MovePath(a, c));
  EXPECT_FALSE(PathExists(a));
  EXPECT_EQ(ReadFile(c), "first");

  ASSERT_EQ(CreateFolder(scratch_.PathOf("dir")), CreateFolderResult::kCreated);
  EXPECT_FALSE(MovePath(c, scratch_.PathOf("dir")));  // a folder is an existing target too
  EXPECT_TRUE(MovePath(scratch_.PathOf("dir"), scratch_.PathOf("dir2")));
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("dir2")));
  EXPECT_FALSE(MovePath(scratch_.PathOf("missing"), scratch_.PathOf("d")));
}

TEST_F(FileSystemTest, ListDirectoryGivesSizesDatesAndFolderFlags) {
  MakeFile(scratch_.PathOf("big.bin"), std::string(70000, 'z'));
  MakeFile(scratch_.PathOf("empty.bin"), "");
  ASSERT_EQ(CreateFolder(scratch_.PathOf("sub")), CreateFolderResult::kCreated);

  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(scratch_.PathWithoutSeparator(), &entries));
  int seen = 0;
  const long long now = MinutesOf(LocalTimeNow());
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") {
      EXPECT_TRUE(entry.isDirectory);
      continue;
    }
    ++seen;
    if (entry.name == "big.bin") {
      EXPECT_FALSE(entry.isDirectory);
      EXPECT_EQ(entry.size, 70000u);
    } else if (entry.name == "empty.bin") {
      EXPECT_FALSE(entry.isDirectory);
      EXPECT_EQ(entry.size, 0u);
    } else if (entry.name == "sub") {
      EXPECT_TRUE(entry.isDirectory);
      EXPECT_EQ(entry.size, 0u);
    } else {
      ADD_FAILURE() << "unexpected entry " << entry.name.CStr();
    }
    // Written just now: in UTC, so at most the widest time zone away from local time.
    EXPECT_LE(std::llabs(MinutesOf(entry.lastWriteUtc) - now), 15 * 60) << entry.name.CStr();
    EXPECT_GE(entry.lastWriteUtc.month, 1);
    EXPECT_LE(entry.lastWriteUtc.month, 12);
  }
  EXPECT_EQ(seen, 3);

  // A trailing separator names the same folder.
  std::vector<DirectoryEntry> again;
  ASSERT_TRUE(ListDirectory(scratch_.PathWithoutSeparator() + "/", &again));
  EXPECT_EQ(again.size(), entries.size());

  EXPECT_FALSE(ListDirectory(scratch_.PathOf("missing"), &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(ListDirectory(scratch_.PathOf("big.bin"), &entries));
}

TEST_F(FileSystemTest, WrittenBytesReadBackAndOpenForWriteEmptiesTheFile) {
  const CCountedString path = scratch_.PathOf("data");
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += static_cast<char>(i * 7);
  {
    CFile file;
    ASSERT_TRUE(file.OpenForWrite(path));  // creates
    EXPECT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
  }  // closed by the destructor
  EXPECT_EQ(ReadFile(path), bytes);

  CFile file;
  ASSERT_TRUE(file.OpenForWrite(path));
  ASSERT_TRUE(file.Write("short", 5));
  ASSERT_TRUE(file.Close());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(file.Close());  // nothing open
  EXPECT_EQ(ReadFile(path), "short");

  uint32_t got = 1;
  EXPECT_FALSE(file.Read(&got, sizeof got, &got));
  EXPECT_FALSE(file.Write("x", 1));
}

TEST_F(FileSystemTest, OpenForReadNeedsAnExistingFile) {
  CFile file;
  EXPECT_FALSE(file.OpenForRead(scratch_.PathOf("missing")));
  EXPECT_FALSE(file.OpenForRead(scratch_.PathWithoutSeparator()));
  EXPECT_FALSE(file.OpenForWrite(scratch_.PathWithoutSeparator()));
  EXPECT_FALSE(file.OpenForWrite(scratch_.PathOf("missing/file")));
  EXPECT_FALSE(file.IsOpen());
}

TEST_F(FileSystemTest, CreateNewNeverOverwrites) {
  const CCountedString path = scratch_.PathOf("kept");
  MakeFile(path, "precious");
  CFile file;
  EXPECT_FALSE(file.CreateNew(path));
  EXPECT_EQ(ReadFile(path), "precious");

  ASSERT_EQ(CreateFolder(scratch_.PathOf("folder")), CreateFolderResult::kCreated);
  EXPECT_FALSE(file.CreateNew(scratch_.PathOf("folder")));
  EXPECT_TRUE(IsDirectory(scratch_.PathOf("folder")));

  EXPECT_TRUE(file.CreateNew(scratch_.PathOf("fresh")));
  EXPECT_TRUE(PathExists(scratch_.PathOf("fresh")));
}

TEST_F(FileSystemTest, AnOpenFileExcludesEveryOtherOpener) {
  const CCountedString path = scratch_.PathOf("held");
  MakeFile(path, "content");

  {
    CFile reader;
    ASSERT_TRUE(reader.OpenForRead(path));
    CFile other;
    EXPECT_FALSE(other.OpenForRead(path));
    EXPECT_FALSE(other.OpenForWrite(path));
    EXPECT_FALSE(other.IsOpen());
  }
  EXPECT_EQ(ReadFile(path), "content");  // the refused writer emptied nothing

  {
    CFile writer;
    ASSERT_TRUE(writer.OpenForWrite(path));
    ASSERT_TRUE(writer.Write("new", 3));
    CFile other;
    EXPECT_FALSE(other.OpenForWrite(path));
    EXPECT_FALSE(other.OpenForRead(path));
    EXPECT_FALSE(other.CreateNew(path));
    ASSERT_TRUE(writer.Close());
  }
  EXPECT_EQ(ReadFile(path), "new");  // the refused writer emptied nothing

  {
    CFile creator;
    ASSERT_TRUE(creator.CreateNew(scratch_.PathOf("created")));
    CFile other;
    EXPECT_FALSE(other.OpenForRead(scratch_.PathOf("created")));
  }

  // Once closed, the file opens again.
  CFile again;
  EXPECT_TRUE(again.OpenForWrite(path));
}

// A write that does not fit (a full disk) writes what fits, fails, and keeps the
// system's reason; so does a failing close.
TEST_F(FileSystemTest, FailedWritesAndClosesKeepTheSystemsReason) {
  const CCountedString path = scratch_.PathOf("full");
  const std::string bytes(10000, 'x');
  CFile file;
  ASSERT_TRUE(file.CreateNew(path));
  EXPECT_FALSE(file.LastError().IsSet());
  {
    testing::CInjectedFileFaults faults;
    faults.FailWritesAfter(4000 + 1000, testing::DiskFullCode());
    EXPECT_TRUE(file.Write(bytes.data(), 4000));
    EXPECT_FALSE(file.Write(bytes.data(), 6000));
    faults.FailCloses(testing::DiskFullCode() + 1);
    EXPECT_FALSE(file.Close());
    EXPECT_FALSE(file.IsOpen());  // closed all the same
  }
  EXPECT_EQ(file.LastError().code, testing::DiskFullCode() + 1);
  EXPECT_EQ(ReadFile(path), bytes.substr(0, 5000));

  CFile again;
  ASSERT_TRUE(again.OpenExistingForWrite(path));
  {
    testing::CInjectedFileFaults faults;
    faults.FailWritesAfter(0, testing::DiskFullCode());
    EXPECT_FALSE(again.Write(bytes.data(), 1));
  }
  EXPECT_EQ(again.LastError().code, testing::DiskFullCode());
  EXPECT_EQ(again.LastError().text, SystemErrorOf(testing::DiskFullCode()).text);
  EXPECT_FALSE(again.LastError().text.IsEmpty());
  EXPECT_TRUE(again.Close());  // the seam is gone: the system's close again
}

// The system's own refusal is kept with its text.
TEST_F(FileSystemTest, ARefusedOpenKeepsTheSystemsReason) {
  CFile file;
  EXPECT_FALSE(file.CreateNew(scratch_.PathOf("missing\\file")));
  EXPECT_TRUE(file.LastError().IsSet());
  EXPECT_FALSE(file.LastError().text.IsEmpty());
  EXPECT_FALSE(file.LastError().text.EndsWith("."));
}

}  // namespace
}  // namespace kestova
