// Runs natively against our own reader/writer and under Wine against the system's
// private-profile functions: the same expectations hold for both.
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "platform/module.h"
#include "platform/settings_file.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = scratch_.PathOf("KESTOV-A.ini"); }

  void MakeFile(const std::string& text) {
    CFile file;
    ASSERT_TRUE(file.OpenForWrite(file_));
    ASSERT_TRUE(file.Write(text.data(), static_cast<uint32_t>(text.size())));
    ASSERT_TRUE(file.Close());
  }

  std::string FileText() {
    CFile file;
    if (!file.OpenForRead(file_)) return "<unreadable>";
    std::string text;
    char buffer[1024];
    for (int i = 0; i < 1000; ++i) {
      uint32_t got = 0;
      if (!file.Read(buffer, sizeof buffer, &got) || got == 0) break;
      text.append(buffer, got);
    }
    return text;
  }

  std::string Read(const char* section, const char* key, const char* defaultText = "none") {
    CCountedString value("stale");
    const unsigned count = ReadSettingFrom(file_, section, key, defaultText, &value);
    EXPECT_EQ(count, value.Length());
    return std::string(value.CStr(), value.Length());
  }

  testing::CScratchFolder scratch_;
  CCountedString file_;
};

TEST_F(SettingsTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Read("PageReceive", "Folder", "C:\\KESTOV-A\\"), "C:\\KESTOV-A\\");
  EXPECT_FALSE(PathExists(file_));  // reading creates nothing
  MakeFile("[PageReceive]\r\nOther=1\r\n");
  EXPECT_EQ(Read("PageReceive", "Folder", "fallback"), "fallback");
  EXPECT_EQ(Read("Elsewhere", "Other", "fallback"), "fallback");
  EXPECT_EQ(Read("PageReceive", "Folder", ""), "");
  // The default loses its trailing blanks, as with the private-profile functions.
  EXPECT_EQ(Read("PageReceive", "Folder", "spaced  "), "spaced");
}

TEST_F(SettingsTest, WriteCreatesFileAndSectionAndReadsBack) {
  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", "D:\\Video\\"));
  EXPECT_TRUE(PathExists(file_));
  EXPECT_EQ(Read("PageReceive", "Folder"), "D:\\Video\\");
  EXPECT_NE(FileText().find("[PageReceive]"), std::string::npos);
  EXPECT_NE(FileText().find("Folder=D:\\Video\\"), std::string::npos);

  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", "E:\\"));
  EXPECT_EQ(Read("PageReceive", "Folder"), "E:\\");
  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", ""));
  EXPECT_EQ(Read("PageReceive", "Folder", "default"), "");  // present but empty
}

TEST_F(SettingsTest, OtherSectionsAndKeysKeepTheirValuesAndOrder) {
  MakeFile(
      "[First]\r\nalpha=1\r\nbeta=2\r\n\r\n[PageReceive]\r\nFolder=C:\\old\\\r\nkeep=yes\r\n"
      "\r\n[Last]\r\nomega=9\r\n");
  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", "C:\\new\\"));
  EXPECT_TRUE(WriteSettingTo(file_, "First", "gamma", "3"));
  EXPECT_TRUE(WriteSettingTo(file_, "Added", "key", "value"));

  EXPECT_EQ(Read("First", "alpha"), "1");
  EXPECT_EQ(Read("First", "beta"), "2");
  EXPECT_EQ(Read("First", "gamma"), "3");
  EXPECT_EQ(Read("PageReceive", "Folder"), "C:\\new\\");
  EXPECT_EQ(Read("PageReceive", "keep"), "yes");
  EXPECT_EQ(Read("Last", "omega"), "9");
  EXPECT_EQ(Read("Added", "key"), "value");

  const std::string text = FileText();
  const size_t first = text.find("[First]");
  const size_t gamma = text.find("gamma=3");
  const size_t page = text.find("[PageReceive]");
  const size_t last = text.find("[Last]");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(gamma, std::string::npos);
  EXPECT_LT(first, gamma);
  EXPECT_LT(gamma, page);  // the new key stays inside its own section
  EXPECT_LT(page, last);
  EXPECT_EQ(text.find("C:\\old\\"), std::string::npos);
}

TEST_F(SettingsTest, NamesIgnoreCaseAndValuesLoseBlanksAndQuotes) {
  MakeFile(
      "[pagereceive]\r\n  FOLDER  =  \"C:\\quoted dir\\\"  \r\nplain = some text \r\n"
      "single='x'\r\nhalf=\"open\r\n");
  EXPECT_EQ(Read("PageReceive", "Folder"), "C:\\quoted dir\\");
  EXPECT_EQ(Read("PAGERECEIVE", "plain"), "some text");
  EXPECT_EQ(Read("pagereceive", "single"), "x");
  EXPECT_EQ(Read("pagereceive", "half"), "\"open");

  EXPECT_TRUE(WriteSettingTo(file_, "PAGERECEIVE", "folder", "D:\\"));
  EXPECT_EQ(Read("PageReceive", "Folder"), "D:\\");
  EXPECT_EQ(Read("PageReceive", "plain"), "some text");
}

TEST_F(SettingsTest, ALongValueArrivesAsItsFirst1023Bytes) {
  std::string longValue;
  for (int i = 0; i < 1500; ++i) longValue += static_cast<char>('a' + i % 26);
  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", longValue.c_str()));
  EXPECT_EQ(Read("PageReceive", "Folder"), longValue.substr(0, 1023));
  const std::string exact = longValue.substr(0, 1023);
  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", exact.c_str()));
  EXPECT_EQ(Read("PageReceive", "Folder"), exact);
}

TEST_F(SettingsTest, WritesThatWouldBreakTheFileAreRefused) {
  EXPECT_TRUE(WriteSettingTo(file_, "PageReceive", "Folder", "C:\\"));
  const std::string before = FileText();
  EXPECT_FALSE(WriteSettingTo(file_, "PageReceive", "Folder", "C:\\\r\n[Evil]\r\nx=1"));
  EXPECT_FALSE(WriteSettingTo(file_, "PageReceive", "Fol=der", "x"));
  EXPECT_FALSE(WriteSettingTo(file_, "PageReceive", "[Evil]", "x"));
  EXPECT_FALSE(WriteSettingTo(file_, "Page]Receive", "Folder", "x"));
  EXPECT_FALSE(WriteSettingTo(file_, "", "Folder", "x"));
  EXPECT_FALSE(WriteSettingTo(file_, "PageReceive", "", "x"));
  EXPECT_FALSE(WriteSettingTo(file_, "PageReceive", "Folder", nullptr));
  EXPECT_EQ(FileText(), before);
  EXPECT_EQ(Read("PageReceive", "Folder"), "C:\\");
}

TEST_F(SettingsTest, AWriteIntoAMissingFolderFails) {
  const CCountedString nowhere = scratch_.PathOf("missing/KESTOV-A.ini");
  EXPECT_FALSE(WriteSettingTo(nowhere, "PageReceive", "Folder", "x"));
  EXPECT_FALSE(PathExists(nowhere));
}

// The only test that touches this run's settings file: the path is fixed by its
// first use, so it is set here before anything reads it.
TEST_F(SettingsTest, TheRunsSettingsFileIsFixedAtFirstUse) {
  SetSettingsFilePath(file_);
  EXPECT_EQ(GetSettingsFilePath(), file_);
  SetSettingsFilePath(scratch_.PathOf("other.ini"));  // too late: ignored
  EXPECT_EQ(GetSettingsFilePath(), file_);

  CCountedString value;
  EXPECT_EQ(ReadSetting("PageReceive", "Folder", "default", &value), 7u);
  EXPECT_EQ(value, "default");
  EXPECT_TRUE(WriteSetting("PageReceive", "Folder", "C:\\rec\\"));
  EXPECT_EQ(ReadSetting("PageReceive", "Folder", "default", &value), 7u);
  EXPECT_EQ(value, "C:\\rec\\");
  EXPECT_FALSE(PathExists(scratch_.PathOf("other.ini")));
}

}  // namespace
}  // namespace kestova
