#include "ftp/title_cleaning.h"

#include <gtest/gtest.h>

#include <string>

namespace kestova {
namespace {

// A first block of `length` bytes (0xEE filler) with `title` written at offset 132.
std::string BlockWithTitle(const std::string& title, size_t length = 256) {
  std::string block(length, '\xee');
  for (size_t i = 0; i < kTitleFieldLength && kTitleFieldOffset + i < length; ++i) {
    block[kTitleFieldOffset + i] = i < title.size() ? title[i] : '\0';
  }
  return block;
}

std::string Title(const std::string& block) {
  return ProgrammeTitle(block.data(), block.size()).CStr();
}

TEST(TitleField, EndsAtTheFirstZeroByte) {
  std::string block = BlockWithTitle(std::string("NEWS\0MORE", 9));
  EXPECT_EQ("NEWS", std::string(TitleFieldOf(block.data(), block.size()).CStr()));
}

TEST(TitleField, SixtyFourBytesWithoutZeroAreUsedWhole) {
  std::string title(64, 'A');
  title[0] = 'B';
  title[63] = 'Z';
  std::string block = BlockWithTitle(title, 300);
  block[196] = 'X';  // the byte after the field is not part of the title
  CCountedString field = TitleFieldOf(block.data(), block.size());
  EXPECT_EQ(64u, field.Length());
  EXPECT_EQ(title, std::string(field.CStr()));
}

TEST(TitleField, ShortBlocksGiveOnlyTheBytesReceived) {
  std::string block = BlockWithTitle("ABCDEFGHIJ", 256);
  EXPECT_EQ("", std::string(TitleFieldOf(block.data(), 0).CStr()));
  EXPECT_EQ("", std::string(TitleFieldOf(nullptr, 0).CStr()));
  EXPECT_EQ("", std::string(TitleFieldOf(block.data(), 132).CStr()));
  EXPECT_EQ("A", std::string(TitleFieldOf(block.data(), 133).CStr()));
  EXPECT_EQ("ABCDE", std::string(TitleFieldOf(block.data(), 137).CStr()));
  std::string full(64, 'Q');
  std::string fullBlock = BlockWithTitle(full, 256);
  EXPECT_EQ(63u, TitleFieldOf(fullBlock.data(), 195).Length());
  EXPECT_EQ(64u, TitleFieldOf(fullBlock.data(), 196).Length());
}

TEST(TitleField, AllZeroFieldIsEmpty) {
  std::string block(256, '\0');
  EXPECT_EQ("", Title(block));
}

TEST(CleanTitle, ReplacesEachForbiddenCharacterByItsFullWidthForm) {
  struct Case {
    const char* raw;
    const char* cleaned;
  } cases[] = {
      {"a\\b", "a\x81\x8f" "b"}, {"a/b", "a\x81\x5e" "b"}, {"a:b", "a\x81\x46" "b"},
      {"a*b", "a\x81\x96" "b"},  {"a?b", "a\x81\x48" "b"}, {"a\"b", "a\x81\x68" "b"},
      {"a<b", "a\x81\x83" "b"},  {"a>b", "a\x81\x84" "b"}, {"a|b", "a\x81\x62" "b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(c.cleaned), std::string(CleanTitle(c.raw).CStr())) << c.raw;
  }
}

TEST(CleanTitle, ReplacesAllNineInOneTitle) {
  EXPECT_EQ(std::string("\x81\x8f\x81\x5e\x81\x46\x81\x96\x81\x48\x81\x68\x81\x83\x81\x84\x81\x62"),
            std::string(CleanTitle("\\/:*?\"<>|").CStr()));
}

TEST(CleanTitle, LeavesTrailBytesThatLookLikeSeparators) {
  // "ソ" is 0x83 0x5C and "表" is 0x95 0x5C (trail byte = '\'); "ポ" is 0x83 0x7C
  // (trail byte = '|'). None of them is touched; a real '\' after them is.
  const std::string raw = "\x83\x5c\x95\x5c\x83\x7c\\";
  const std::string expected = "\x83\x5c\x95\x5c\x83\x7c\x81\x8f";
  EXPECT_EQ(expected, std::string(CleanTitle(raw.c_str()).CStr()));
}

TEST(CleanTitle, ColonAndSlashInAJapaneseTitle) {
  // "番組:第1回/再放送" -> "番組：第1回／再放送"
  const std::string raw = "\x94\xd4\x91\x67:\x91\xe6" "1\x89\xf1/\x8d\xc4\x95\xfa\x91\x97";
  const std::string expected =
      "\x94\xd4\x91\x67\x81\x46\x91\xe6" "1\x89\xf1\x81\x5e\x8d\xc4\x95\xfa\x91\x97";
  EXPECT_EQ(expected, Title(BlockWithTitle(raw)));
}

TEST(CleanTitle, TrimsWhiteSpaceAtBothEndsOnly) {
  EXPECT_EQ("MY SHOW", Title(BlockWithTitle("   MY SHOW  \t ")));
  EXPECT_EQ("", Title(BlockWithTitle("      ")));
}

TEST(CleanTitle, LeadByteCutOffAtTheEndOfTheFieldIsKept) {
  std::string title(63, 'A');
  title += '\x83';  // the first half of a double-byte character
  std::string cleaned = Title(BlockWithTitle(title));
  ASSERT_EQ(64u, cleaned.size());
  EXPECT_EQ('\x83', cleaned[63]);
}

}  // namespace
}  // namespace kestova
