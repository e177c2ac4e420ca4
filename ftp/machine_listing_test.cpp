// Facts and fact times of machine listings.
#include "ftp/machine_listing.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

DirectoryEntry Entry(const char* name, bool folder, uint64_t size) {
  DirectoryEntry entry;
  entry.name = name;
  entry.isDirectory = folder;
  entry.size = size;
  entry.lastWriteUtc = CalendarTime{2026, 1, 5, 12, 34, 56};
  return entry;
}

TEST(MachineListingTest, FactsFollowTheEntryAndTheAccess) {
  const struct {
    DirectoryEntry entry;
    OrdinaryClientAccess access;
    const char* line;
  } cases[] = {
      {Entry("a.MPG", false, 12345), OrdinaryClientAccess::kFull,
       "type=file;size=12345;modify=20260105123456;perm=adfrw; a.MPG\r\n"},
      {Entry("a.MPG", false, 5000000000ull), OrdinaryClientAccess::kReadOnly,
       "type=file;size=5000000000;modify=20260105123456;perm=r; a.MPG\r\n"},
      {Entry("sub dir", true, 0), OrdinaryClientAccess::kFull,
       "type=dir;modify=20260105123456;perm=cdeflmp; sub dir\r\n"},
      {Entry("sub", true, 0), OrdinaryClientAccess::kReadOnly,
       "type=dir;modify=20260105123456;perm=el; sub\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatMachineLine(c.entry, c.access), c.line);
}

TEST(MachineListingTest, FactTimesAreReadOnlyWhenWhole) {
  const struct {
    const char* text;
    bool valid;
    CalendarTime time;
  } cases[] = {
      {"20261208140102", true, {2026, 12, 8, 14, 1, 2}},
      {"20261208140102.123", true, {2026, 12, 8, 14, 1, 2}},
      {"19991231235960", true, {1999, 12, 31, 23, 59, 59}},
      {"2026120814010", false, {}},
      {"20261308140102", false, {}},
      {"20261208240102", false, {}},
      {"20261208140102.", false, {}},
      {"2026120814010x", false, {}},
      {"18991208140102", false, {}},
      {"20261208140102 ", false, {}},
  };
  for (const auto& c : cases) {
    CalendarTime time;
    ASSERT_EQ(ParseFactTime(c.text, &time), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(FormatFactTime(time), FormatFactTime(c.time)) << c.text;
  }
}

}  // namespace
}  // namespace kestova
