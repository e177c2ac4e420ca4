#include "base/counted_string.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/counted_string_printer.h"

namespace kestova {
namespace {

const CodePage& kSjis = CodePage::ShiftJis();

// 表 and ソ end in 0x5C, 竹 (0x92 0x7C) in '|', ｱ is a single-byte katakana.
const char kHyou[] = "\x95\x5C";
const char kSo[] = "\x83\x5C";

TEST(CountedStringTest, CopiesShareUntilOneChanges) {
  CCountedString a("recorder");
  CCountedString b(a);
  EXPECT_EQ(a.CStr(), b.CStr());
  b.Append("s");
  EXPECT_EQ(a, "recorder");
  EXPECT_EQ(b, "recorders");
  b = a;
  b.MakeUpper(kSjis);
  EXPECT_EQ(a, "recorder");
  EXPECT_EQ(b, "RECORDER");
}

TEST(CountedStringTest, GrowsAndKeepsEmbeddedZeroBytes) {
  CCountedString text;
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_STREQ(text.CStr(), "");
  const char bytes[] = {'a', '\0', 'b'};
  for (int i = 0; i < 10000; ++i) text.Append(bytes, sizeof bytes);
  ASSERT_EQ(text.Length(), 30000u);
  EXPECT_EQ(text[1], '\0');
  EXPECT_EQ(text[29999], 'b');
  EXPECT_EQ(text.CStr()[30000], '\0');
}

TEST(CountedStringTest, AppendingItsOwnTextWorks) {
  CCountedString text("ab");
  text.Append(text);
  text.Append(text.CStr() + 1, 2);
  EXPECT_EQ(text, "ababba");
}

TEST(CountedStringTest, FormatsLikePrintfIncluding64BitIntegers) {
  EXPECT_EQ(CCountedString::Format("%s=%d", "size", -5), "size=-5");
  EXPECT_EQ(CCountedString::Format("%llu", 5000000000ULL), "5000000000");
  EXPECT_EQ(CCountedString::Format("% 9lld|", 12345LL), "    12345|");
  EXPECT_EQ(CCountedString::Format("% 2d", 5), " 5");
  EXPECT_EQ(CCountedString::Format("%02d:%02d %.2f", 1, 41, 25.0), "01:41 25.00");
  CCountedString text("x");
  text.AppendFormat(" %c%%", 'y');
  EXPECT_EQ(text, "x y%");
  const std::string longText(5000, 'z');
  EXPECT_EQ(CCountedString::Format("%s", longText.c_str()).Length(), 5000u);
}

CCountedString FormatThroughVaList(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CCountedString text = CCountedString::FormatV(format, args);
  va_end(args);
  return text;
}

TEST(CountedStringTest, AcceptsTheWindowsSpellingOf64BitConversions) {
  EXPECT_EQ(FormatThroughVaList("% 9I64d %s", 4294967296LL, "I64"), " 4294967296 I64");
  EXPECT_EQ(FormatThroughVaList("%I64u", 18446744073709551615ULL), "18446744073709551615");
}

TEST(CountedStringTest, SubstringsAreClamped) {
  CCountedString text("D:\\Video\\a.mpg");
  EXPECT_EQ(text.Left(2), "D:");
  EXPECT_EQ(text.Mid(9), "a.mpg");
  EXPECT_EQ(text.Substring(3, 5), "Video");
  EXPECT_EQ(text.Substring(9, 100), "a.mpg");
  EXPECT_EQ(text.Substring(100), "");
  EXPECT_EQ(text.Left(100), text);
}

TEST(CountedStringTest, SearchesNeverStopOnATrailByte) {
  // D:\表\ソ.mpg : both double-byte characters end in 0x5C.
  const CCountedString path = CCountedString("D:\\") + kHyou + "\\" + kSo + ".mpg";
  EXPECT_EQ(path.Find('\\', 0, kSjis), 2u);
  EXPECT_EQ(path.Find('\\', 3, kSjis), 5u);
  EXPECT_EQ(path.FindLast('\\', CCountedString::npos, kSjis), 5u);
  EXPECT_EQ(path.FindLast('.', CCountedString::npos, kSjis), 8u);
  // Without code-page awareness the trail bytes would be found.
  EXPECT_EQ(path.FindLast('\\', CCountedString::npos, CodePage::SingleByte()), 7u);

  const CCountedString bamboo("\x92\x7C|");  // 竹 then a real bar
  EXPECT_EQ(bamboo.Find('|', 0, kSjis), 2u);
  // A start position inside a double-byte character does not create a match there.
  EXPECT_EQ(bamboo.Find('|', 1, kSjis), 2u);
  // Trail bytes 0x2F and 0x2E do not count as '/' or '.' either.
  const CCountedString slashTrail("\x81\x2F/\x81\x2E.");
  EXPECT_EQ(slashTrail.Find('/', 0, kSjis), 2u);
  EXPECT_EQ(slashTrail.FindLast('.', CCountedString::npos, kSjis), 5u);
}

TEST(CountedStringTest, FindLastRespectsItsLimit) {
  const CCountedString text("a\\b\\c\\");
  EXPECT_EQ(text.FindLast("\\", 4, kSjis), 3u);
  EXPECT_EQ(text.FindLast("\\", 0, kSjis), CCountedString::npos);
  EXPECT_EQ(text.FindLast("\\..\\", CCountedString::npos, kSjis), CCountedString::npos);
}

TEST(CountedStringTest, ReplaceStepsOverDoubleByteCharacters) {
  CCountedString path = CCountedString("a//b") + kSo + "/c";
  EXPECT_EQ(path.Replace("/", "\\", kSjis), 3u);
  EXPECT_EQ(path, CCountedString("a\\\\b") + kSo + "\\c");
  CCountedString slashes("////");
  EXPECT_EQ(slashes.Replace("//", "/", kSjis), 2u);
  EXPECT_EQ(slashes, "//");
  CCountedString trailOnly(kSo);
  EXPECT_EQ(trailOnly.Replace("\\", "/", kSjis), 0u);
  EXPECT_EQ(trailOnly, kSo);
}

TEST(CountedStringTest, TrimsSingleByteWhiteSpaceOnly) {
  CCountedString text(" \t\r\n title \v\f");
  EXPECT_EQ(text.Trim(), "title");
  // A full-width space (0x81 0x40) is a character, not white space.
  CCountedString wide("\x81\x40x\x81\x40");
  EXPECT_EQ(wide.Trim(), "\x81\x40x\x81\x40");
  CCountedString blank("   ");
  EXPECT_TRUE(blank.Trim().IsEmpty());
}

TEST(CountedStringTest, CaseFoldingLeavesTrailBytesAlone) {
  // 0x83 0x61 is a katakana whose trail byte is 'a'.
  CCountedString text("gr-\x83\x61x");
  text.MakeUpper(kSjis);
  EXPECT_EQ(text, "GR-\x83\x61X");
  EXPECT_EQ(CCountedString("Gr-Test").CompareNoCase("gR-tEST", kSjis), 0);
  EXPECT_NE(CCountedString("\x83\x61").CompareNoCase("\x83\x41", kSjis), 0);
  EXPECT_LT(CCountedString("abc").CompareNoCase("ABD", kSjis), 0);
  EXPECT_GT(CCountedString("abcd").CompareNoCase("ABC", kSjis), 0);
  EXPECT_TRUE(CCountedString("$XML$Status.xml").EqualsNoCase("$xml$status.XML", kSjis));
}

TEST(CountedStringTest, ComparesAndMatchesEnds) {
  EXPECT_EQ(CCountedString("abc").Compare("abc"), 0);
  EXPECT_LT(CCountedString("ab").Compare("abc"), 0);
  EXPECT_GT(CCountedString("b").Compare("abc"), 0);
  EXPECT_TRUE(CCountedString("TITLE.MPG").EndsWith(".MPG"));
  EXPECT_FALSE(CCountedString("MPG").EndsWith(".MPG"));
  EXPECT_TRUE(CCountedString("GR-TEST").StartsWith("GR-"));
}

TEST(CountedStringTest, DirectBufferWritingSetsTheLength) {
  CCountedString value("keep");
  char* buffer = value.GetBuffer(1024);
  EXPECT_STREQ(buffer, "keep");
  std::snprintf(buffer, 1024, "%s", "written");
  value.ReleaseBuffer();
  EXPECT_EQ(value, "written");
  value.Truncate(3);
  EXPECT_EQ(value, "wri");
  value.Clear();
  EXPECT_TRUE(value.IsEmpty());
}

// Setting the length changes only this object: a copy that shares the text, made
// before or while the buffer was written, keeps its own length and bytes.
TEST(CountedStringTest, ReleaseBufferNeverChangesASharingCopy) {
  CCountedString value("hello");
  const CCountedString copy(value);
  value.ReleaseBuffer(2);
  EXPECT_EQ(value, "he");
  EXPECT_EQ(copy, "hello");

  CCountedString filled("ab");
  char* buffer = filled.GetBuffer(8);
  std::snprintf(buffer, 9, "%s", "abcdef");
  const CCountedString early(filled);  // shares the block that is being written
  filled.ReleaseBuffer(4);
  EXPECT_EQ(filled, "abcd");
  EXPECT_EQ(early.Length(), 2u);
  EXPECT_STREQ(early.CStr(), "ab");
  filled.ReleaseBuffer();  // up to the first NUL of its own copy
  EXPECT_EQ(filled, "abcd");
}

TEST(CountedStringTest, CopiesMayBeUsedOnSeveralThreads) {
  const CCountedString shared = CCountedString::Format("%s", "D:\\Video\\");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < 20000; ++i) {
        CCountedString copy(shared);
        copy.Append("x");
        ASSERT_EQ(copy.Length(), shared.Length() + 1);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(shared, "D:\\Video\\");
}

}  // namespace
}  // namespace kestova
