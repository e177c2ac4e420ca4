#include "platform/path_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/module.h"

namespace kestova {
namespace {

const size_t npos = CCountedString::npos;

TEST(PathTextTest, SeparatorSearchesStepOverShiftJisTrailBytes) {
  // "C:\表" in Shift_JIS: the last byte is the trail byte 0x5C.
  const CCountedString path("C:\\\x95\x5C");
  const CodePage& sjis = CodePage::ShiftJis();
  EXPECT_EQ(FindLastSeparator(path, sjis), 2u);
  EXPECT_EQ(FindNextSeparator(path, 3, sjis), npos);
  EXPECT_FALSE(EndsWithSeparator(path, sjis));
  EXPECT_EQ(FolderOf(path, sjis), "C:\\");

  const CodePage& single = CodePage::SingleByte();
  EXPECT_EQ(FindLastSeparator(path, single), 4u);
  EXPECT_TRUE(EndsWithSeparator(path, single));

  EXPECT_EQ(FindNextSeparator("a/b\\c", 0, single), 1u);
  EXPECT_EQ(FindNextSeparator("a/b\\c", 2, single), 3u);
  EXPECT_EQ(FindLastSeparator("name", single), npos);
  EXPECT_EQ(FolderOf("name", single), "");
  EXPECT_EQ(FolderOf("/usr/bin/kestov-a", single), "/usr/bin/");
  // A lead byte at the very end has no trail byte: it is one character.
  EXPECT_EQ(FindLastSeparator(CCountedString("a\\\x95"), sjis), 1u);
}

TEST(PathTextTest, SettingsFileSitsBesideTheProgram) {
  const CodePage& single = CodePage::SingleByte();
  EXPECT_EQ(SettingsPathFor("C:\\Program Files\\KESTOV-A.exe", single),
            "C:\\Program Files\\KESTOV-A.ini");
  EXPECT_EQ(SettingsPathFor("C:\\a.b\\prog.old.exe", single), "C:\\a.b\\prog.old.ini");
  EXPECT_EQ(SettingsPathFor("prog.", single), "prog.ini");
  // No dot: the relative name "ini".
  EXPECT_EQ(SettingsPathFor("KESTOVA", single), "ini");
  EXPECT_EQ(SettingsPathFor("", single), "ini");
  // A dot in a folder name is not the program's extension.
  EXPECT_EQ(SettingsPathFor("/home/u/.local/bin/kestov-a", single), "ini");
  // Shift_JIS: "\表.exe" keeps its trail byte 0x5C, and 表 itself is no separator.
  EXPECT_EQ(SettingsPathFor("C:\\\x95\x5C.exe", CodePage::ShiftJis()), "C:\\\x95\x5C.ini");
  EXPECT_EQ(SettingsPathFor("C:\\x.y\\\x95\x5C", CodePage::ShiftJis()), "ini");
}

TEST(PathTextTest, ModuleFolderIsThePrefixOfTheModulePath) {
  const CCountedString path = GetModulePath();
  const CCountedString folder = GetModuleFolder();
  ASSERT_FALSE(path.IsEmpty());
  ASSERT_FALSE(folder.IsEmpty());
  EXPECT_TRUE(path.StartsWith(folder.CStr()));
  EXPECT_TRUE(EndsWithSeparator(folder, CodePage::System()));
  EXPECT_EQ(FindLastSeparator(path.Mid(folder.Length()), CodePage::System()), npos);
  EXPECT_NE(std::strstr(path.CStr(), "platform_test"), nullptr);
  EXPECT_EQ(SettingsPathFor(path), SettingsPathFor(path, CodePage::System()));
}

TEST(CodePageTest, SystemCodePageMatchesTheSystem) {
#ifdef _WIN32
  const char* lang = std::getenv("LANG");
  if (lang == nullptr || std::strncmp(lang, "ja_JP", 5) != 0) GTEST_SKIP() << "not Japanese";
  // The ANSI code page 932: Shift_JIS lead bytes.
  EXPECT_TRUE(CodePage::System().IsLeadByte(0x95));
  EXPECT_TRUE(CodePage::System().IsLeadByte(0x83));
  EXPECT_TRUE(CodePage::System().IsLeadByte(0xE0));
  EXPECT_FALSE(CodePage::System().IsLeadByte('A'));
  EXPECT_FALSE(CodePage::System().IsLeadByte(0xA0));
#else
  // UTF-8: no byte is a lead byte.
  for (unsigned byte = 0; byte < 256; ++byte) {
    EXPECT_FALSE(CodePage::System().IsLeadByte(static_cast<unsigned char>(byte))) << byte;
  }
#endif
}

}  // namespace
}  // namespace kestova
