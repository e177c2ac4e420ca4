// The Linux settings file keeps every byte the user wrote apart from the changed line.
#include "platform/posix/ini_file.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

std::string After(const std::string& text, const char* section, const char* key,
                  const char* value) {
  CIniText ini(text);
  ini.Set(section, key, value);
  return ini.Text();
}

TEST(IniTextTest, ChangingAKeyRewritesOnlyItsLine) {
  const std::string text =
      "; comment\r\nstray=1\r\n[A]\r\nx = 1\r\n  ; note\r\ny=2\r\n\r\n[B]\r\nx=3\r\n";
  EXPECT_EQ(After(text, "a", "X", "9"),
            "; comment\r\nstray=1\r\n[A]\r\nX=9\r\n  ; note\r\ny=2\r\n\r\n[B]\r\nx=3\r\n");
  EXPECT_EQ(After(text, "B", "x", "4"),
            "; comment\r\nstray=1\r\n[A]\r\nx = 1\r\n  ; note\r\ny=2\r\n\r\n[B]\r\nx=4\r\n");
}

TEST(IniTextTest, NewKeysGoToTheEndOfTheirSectionBeforeBlankLines) {
  EXPECT_EQ(After("[A]\r\nx=1\r\n\r\n[B]\r\n", "A", "z", "2"), "[A]\r\nx=1\r\nz=2\r\n\r\n[B]\r\n");
  EXPECT_EQ(After("[A]\nx=1", "A", "z", "2"), "[A]\nx=1\nz=2\n");
  EXPECT_EQ(After("[A]\n", "B", "k", "v"), "[A]\n[B]\nk=v\n");
  EXPECT_EQ(After("[A]\nx=1", "B", "k", "v"), "[A]\nx=1\n[B]\nk=v\n");
  EXPECT_EQ(After("", "PageReceive", "Folder", "/srv/rec/"),
            "[PageReceive]\r\nFolder=/srv/rec/\r\n");
}

TEST(IniTextTest, OnlyTheFirstSectionAndKeyOfAName) {
  const CIniText ini("x=0\n[A]\nx=1\nx=2\n[A]\nx=3\ny=4\n[C\nc=5\n");
  std::string value;
  ASSERT_TRUE(ini.Find("A", "x", &value));
  EXPECT_EQ(value, "1");
  EXPECT_FALSE(ini.Find("A", "y", &value));  // in the second [A], never read
  ASSERT_TRUE(ini.Find("C", "c", &value));   // an unclosed header still names its section
  EXPECT_EQ(value, "5");
  EXPECT_FALSE(ini.Find("", "x", &value));
}

}  // namespace
}  // namespace kestova
