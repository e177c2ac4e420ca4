#include "ftp/title_file_name.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ftp/title_cleaning.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

std::string NameOf(const std::string& shiftJisTitle) {
  return TitleFileName(CleanTitle(CCountedString(shiftJisTitle.data(), shiftJisTitle.size())))
      .CStr();
}

#ifdef _WIN32

TEST(TitleFileName, WindowsUsesTheShiftJisTitleUnchanged) {
  EXPECT_EQ(
      "A\x81\x46"
      "B",
      NameOf("A:B"));
  EXPECT_EQ("\x94\xd4\x91\x67", NameOf("\x94\xd4\x91\x67"));
  EXPECT_EQ("\x83\x5c\x83\x7c", NameOf("\x83\x5c\x83\x7c"));  // trail bytes stay
}

TEST(TitleFileName, WindowsNamesNeverOpenADeviceOrFailOnControlCharacters) {
  EXPECT_EQ("CON_", NameOf("CON"));
  EXPECT_EQ("nul_", NameOf("nul"));
  EXPECT_EQ("Com7_", NameOf("Com7"));
  EXPECT_EQ("LPT1_", NameOf("LPT1"));
  EXPECT_EQ("CONSOLE", NameOf("CONSOLE"));
  EXPECT_EQ("COM0", NameOf("COM0"));
  EXPECT_EQ("A_B", NameOf("A\x01"
                          "B"));
  // Windows reads the name before its first dot, trailing spaces dropped: "CON.x.MPG"
  // and "nul ..MPG" open devices just as "CON.MPG" does.
  EXPECT_EQ("CON_.x", NameOf("CON.x"));
  EXPECT_EQ("nul_ .", NameOf("nul ."));
  EXPECT_EQ("Aux_.1.2", NameOf("Aux.1.2"));
  EXPECT_EQ("CONSOLE.x", NameOf("CONSOLE.x"));
  testing::CScratchFolder folder;
  for (const char* title : {"CON", "AUX", "A\x1f", "NUL.1", "con .x"}) {
    CFile file;
    const std::string name = NameOf(title) + ".MPG";
    CCountedString path = folder.Path() + name.c_str();
    ASSERT_TRUE(file.CreateNew(path)) << title;
    file.Close();
    EXPECT_TRUE(PathExists(path)) << title;
    // A device exists everywhere; a real file shows in its folder's listing.
    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(ListDirectory(folder.Path(), &entries));
    bool listed = false;
    for (const DirectoryEntry& entry : entries) listed = listed || name == entry.name.CStr();
    EXPECT_TRUE(listed) << title;
  }
}

#else

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    if (c >= 0x80) {
      if ((c & 0xE0) == 0xC0) {
        extra = 1;
      } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
      } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
      } else {
        return false;
      }
    }
    if (text.size() - i < extra + 1) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

TEST(TitleFileName, LinuxConvertsTheCleanedTitleToUtf8) {
  EXPECT_EQ(
      "A\xef\xbc\x9a"
      "B",
      NameOf("A:B"));                                                 // "A：B"
  EXPECT_EQ("\xe7\x95\xaa\xe7\xb5\x84", NameOf("\x94\xd4\x91\x67"));  // "番組"
  // Half-width katakana (single bytes 0xA1-0xDF) and a trail byte 0x5C.
  EXPECT_EQ("\xef\xbd\xb1\xe3\x82\xbd", NameOf("\xb1\x83\x5c"));  // "ｱソ"
  // Every replaced character arrives as its full-width Unicode form.
  EXPECT_EQ(
      "\xef\xbf\xa5\xef\xbc\x8f\xef\xbc\x9a\xef\xbc\x8a\xef\xbc\x9f\xe2\x80\x9d\xef\xbc\x9c"
      "\xef\xbc\x9e\xef\xbd\x9c",
      NameOf("\\/:*?\"<>|"));
}

TEST(TitleFileName, InvalidBytesBecomeUnderscores) {
  EXPECT_EQ("A_B", NameOf("A\x80"
                          "B"));
  EXPECT_EQ("A_B", NameOf("A\xfd"
                          "B"));
  // An invalid pair: the lead byte is replaced, the trail byte stands for itself.
  EXPECT_EQ("_@", NameOf("\x85\x40"));
  // A lead byte cut off at the end of the title.
  EXPECT_EQ("AB_", NameOf("AB\x83"));
}

TEST(TitleFileName, ControlCharactersBecomeUnderscores) {
  EXPECT_EQ("A_B_C", NameOf("A\x01"
                            "B\x1f"
                            "C"));
  EXPECT_EQ("A_", NameOf("A\x7f"));
}

TEST(TitleFileName, LinuxNamesNeverBeginWithADot) {
  const struct {
    const char* title;
    const char* name;
  } cases[] = {
      {"", "_"},       {".", "_."}, {"..", "_.."}, {" .x ", "_.x"}, {".hidden", "_.hidden"},
      {"a.b.", "a.b."}};
  for (const auto& c : cases) EXPECT_EQ(c.name, NameOf(c.title)) << c.title;
}

TEST(TitleFileName, AnyTitleGivesOneSafeUsableName) {
  testing::CScratchFolder folder;
  std::mt19937 random(20261207);
  for (int round = 0; round < 3000; ++round) {
    std::string title(1 + random() % 64, '\0');
    for (char& c : title) c = static_cast<char>(random() % 255 + 1);  // no zero byte
    std::string name = NameOf(title);
    ASSERT_EQ(std::string::npos, name.find('/')) << round;
    ASSERT_NE('.', name[0]) << round;
    ASSERT_EQ(std::string::npos, name.find('\0')) << round;
    ASSERT_TRUE(IsValidUtf8(name)) << round;
    ASSERT_LT(name.size() + 10, 256u);  // room for "_NNNN.MPG" below NAME_MAX
    if (round % 100 == 0) {
      CFile file;
      CCountedString path = folder.Path() + name.c_str() + ".MPG";
      ASSERT_TRUE(file.CreateNew(path)) << round;
      file.Close();
      EXPECT_TRUE(PathExists(path));
    }
  }
}

#endif

}  // namespace
}  // namespace kestova
