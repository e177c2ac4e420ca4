#include "base/code_page.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(CodePageTest, ShiftJisLeadBytesAreTheTwoRanges) {
  const CodePage& sjis = CodePage::ShiftJis();
  int leadBytes = 0;
  for (int b = 0; b < 256; ++b) leadBytes += sjis.IsLeadByte(static_cast<unsigned char>(b)) ? 1 : 0;
  EXPECT_EQ(leadBytes, (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1));
  EXPECT_TRUE(sjis.IsLeadByte(0x81));
  EXPECT_TRUE(sjis.IsLeadByte(0x9F));
  EXPECT_TRUE(sjis.IsLeadByte(0xE0));
  EXPECT_TRUE(sjis.IsLeadByte(0xFC));
  EXPECT_FALSE(sjis.IsLeadByte(0x80));
  EXPECT_FALSE(sjis.IsLeadByte(0xA0));  // half-width katakana are single bytes
  EXPECT_FALSE(sjis.IsLeadByte(0xDF));
  EXPECT_FALSE(sjis.IsLeadByte(0xFD));
  EXPECT_FALSE(sjis.IsLeadByte('\\'));
}

TEST(CodePageTest, ALeadByteAtTheEndCountsAsOneByte) {
  const CodePage& sjis = CodePage::ShiftJis();
  EXPECT_EQ(sjis.CharLength("\x95\x5C", 2), 2u);
  EXPECT_EQ(sjis.CharLength("\x95", 1), 1u);
  EXPECT_EQ(sjis.CharLength("a", 1), 1u);
  EXPECT_EQ(CodePage::SingleByte().CharLength("\x95\x5C", 2), 1u);
}

}  // namespace
}  // namespace kestova
