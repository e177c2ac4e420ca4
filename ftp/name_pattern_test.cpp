// Wildcard patterns of NLST and LIST.
#include "ftp/name_pattern.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(NamePatternTest, StarsAndQuestionMarksMatchWholeCharacters) {
  const struct {
    const char* pattern;
    const char* name;
    bool utf8;  // else Shift_JIS
    bool matches;
  } cases[] = {
      {"*.MPG", "a.MPG", true, true},
      {"*.MPG", "a.mpg", true, false},
      {"*.MPG", ".MPG", true, true},
      {"a?c", "abc", true, true},
      {"a?c", "ac", true, false},
      {"a?c", "abbc", true, false},
      {"*", "", true, true},
      {"a*b*c", "aXbYbZc", true, true},
      {"a*b*c", "aXbYbZ", true, false},
      {"**?", "x", true, true},
      {"a?c",
       "a\xC3\xA9"
       "c",
       true, true},  // one UTF-8 character
      {"a??c",
       "a\xC3\xA9"
       "c",
       true, false},
      {"a?c",
       "a\x95\x5C"
       "c",
       false, true},                        // one Shift_JIS character
      {"?\\*", "\x95\x5C*", false, false},  // the trail byte is no separator
      {"plain", "plain", true, true},
  };
  for (const auto& c : cases) {
    const CodePage& codePage = c.utf8 ? CodePage::SingleByte() : CodePage::ShiftJis();
    EXPECT_EQ(MatchesNamePattern(c.pattern, c.name, codePage), c.matches)
        << c.pattern << " / " << c.name;
  }
}

TEST(NamePatternTest, WildcardsAreFoundOnlyAsWholeCharacters) {
  EXPECT_TRUE(HasWildcard("*.bin", CodePage::SingleByte()));
  EXPECT_TRUE(HasWildcard("a?c", CodePage::SingleByte()));
  EXPECT_FALSE(HasWildcard("abc", CodePage::SingleByte()));
  // 0x81 0x48 is one Shift_JIS character; the trail byte 0x48 ('H') is no wildcard, and
  // '?' (0x3F) is never a trail byte.
  EXPECT_FALSE(HasWildcard("\x81\x48", CodePage::ShiftJis()));
}

TEST(NamePatternTest, ManyStarsEndQuickly) {
  const CCountedString pattern("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b");
  const CCountedString name(std::string(2000, 'a').c_str());
  EXPECT_FALSE(MatchesNamePattern(pattern, name, CodePage::SingleByte()));
}

}  // namespace
}  // namespace kestova
