#include "ftp/command_table.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(CommandTableTest, AliasesShareTheirHandler) {
  EXPECT_EQ(FindFtpCommand("XCWD")->handler, FindFtpCommand("CWD")->handler);
  EXPECT_EQ(FindFtpCommand("NLST")->handler, FindFtpCommand("LIST")->handler);
  EXPECT_EQ(FindFtpCommand("APPE")->handler, FindFtpCommand("STOR")->handler);
  EXPECT_EQ(FindFtpCommand("BYE")->handler, FindFtpCommand("QUIT")->handler);
  EXPECT_EQ(FindFtpCommand("P@SW")->handler, FindFtpCommand("PASV")->handler);
  EXPECT_EQ(FindFtpCommand("XRMD")->handler, FindFtpCommand("RMD")->handler);
}

TEST(CommandTableTest, LookupIsExactAndCaseSensitive) {
  EXPECT_EQ(FindFtpCommand("list"), nullptr);
  EXPECT_EQ(FindFtpCommand("LIS"), nullptr);
  EXPECT_EQ(FindFtpCommand("epsv"), nullptr);
  ASSERT_NE(FindFtpCommand("XPWD"), nullptr);
}

}  // namespace
}  // namespace kestova
