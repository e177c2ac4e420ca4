#include "ftp/directory_listing.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

DirectoryEntry Entry(const char* name, bool isDirectory, uint64_t size, int year, int month,
                     int day, int hour, int minute) {
  DirectoryEntry entry;
  entry.name = name;
  entry.isDirectory = isDirectory;
  entry.size = size;
  entry.lastWriteUtc.year = year;
  entry.lastWriteUtc.month = month;
  entry.lastWriteUtc.day = day;
  entry.lastWriteUtc.hour = hour;
  entry.lastWriteUtc.minute = minute;
  return entry;
}

TEST(FormatListLineTest, FileOfTheCurrentYearShowsTheTimeOfDay) {
  EXPECT_EQ(FormatListLine(Entry("a.mpg", false, 12345, 2026, 1, 5, 12, 34), 2026),
            "-rw-rw-rw- 1 ftpuser ftpuser     12345 Jan  5  12:34 a.mpg\r\n");
}

TEST(FormatListLineTest, FolderOfAnEarlierYearShowsTheYear) {
  EXPECT_EQ(FormatListLine(Entry("sub", true, 0, 2004, 12, 15, 8, 0), 2026),
            "drw-rw-rw- 1 ftpuser ftpuser         0 Dec  15  2004 sub\r\n");
}

TEST(FormatListLineTest, SizesBeyondFourGigabytesAreExact) {
  EXPECT_EQ(FormatListLine(Entry("big.mpg", false, 5000000000ull, 2026, 7, 9, 3, 7), 2026),
            "-rw-rw-rw- 1 ftpuser ftpuser  5000000000 Jul  9  03:07 big.mpg\r\n");
}

TEST(FormatListingTest, NamesOnlyAndTheEmptyListing) {
  std::vector<DirectoryEntry> entries = {Entry("a", false, 1, 2026, 1, 1, 0, 0),
                                         Entry("b", true, 0, 2026, 1, 1, 0, 0)};
  EXPECT_EQ(FormatListing(entries, true, 2026), "a\r\nb\r\n");
  EXPECT_EQ(FormatListing({}, false, 2026), "/\r\n");
  EXPECT_EQ(FormatListing({}, true, 2026), "/\r\n");
}

}  // namespace
}  // namespace kestova
