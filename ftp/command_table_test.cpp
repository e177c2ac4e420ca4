#include "ftp/command_table.h"

#include <gtest/gtest.h>

#include <string>

namespace kestova {
namespace {

TEST(CommandTableTest, HoldsTheDescribedWordsThenTheExtensionsInComparisonOrder) {
  const char* const expected[kFtpCommandCount] = {
      "ABOR", "APPE", "BYE",  "CDUP", "SITE", "CWD",  "DELE", "HELP", "LIST", "MKD",
      "NLST", "NOOP", "PASS", "PASV", "P@SW", "PORT", "PWD",  "QUIT", "REST", "RETR",
      "RMD",  "RNFR", "RNTO", "SIZE", "STOR", "SYST", "TYPE", "USER", "XCWD", "XMKD",
      "XPWD", "XRMD", "EPRT", "EPSV", "FEAT", "MDTM", "MFMT", "MLSD", "MLST", "OPTS"};
  for (size_t i = 0; i < kFtpCommandCount; ++i) {
    EXPECT_STREQ(kFtpCommands[i].word, expected[i]) << i;
  }
}

TEST(CommandTableTest, AliasesShareTheirHandlerAndArgumentRule) {
  EXPECT_EQ(FindFtpCommand("XCWD")->handler, FindFtpCommand("CWD")->handler);
  EXPECT_EQ(FindFtpCommand("NLST")->handler, FindFtpCommand("LIST")->handler);
  EXPECT_EQ(FindFtpCommand("APPE")->handler, FindFtpCommand("STOR")->handler);
  EXPECT_EQ(FindFtpCommand("BYE")->handler, FindFtpCommand("QUIT")->handler);
  EXPECT_EQ(FindFtpCommand("P@SW")->handler, FindFtpCommand("PASV")->handler);
  EXPECT_EQ(FindFtpCommand("XRMD")->handler, FindFtpCommand("RMD")->handler);
  std::string withArgument;
  for (const FtpCommand& row : kFtpCommands) {
    if (row.needsArgument) withArgument += std::string(row.word) + " ";
  }
  EXPECT_EQ(withArgument,
            "APPE SITE CWD DELE MKD PORT REST RETR RMD RNFR RNTO SIZE STOR TYPE USER XCWD XMKD "
            "XRMD EPRT MDTM MFMT OPTS ");
}

TEST(CommandTableTest, LookupIsExactAndCaseSensitive) {
  EXPECT_EQ(FindFtpCommand("list"), nullptr);
  EXPECT_EQ(FindFtpCommand("LIS"), nullptr);
  EXPECT_EQ(FindFtpCommand("epsv"), nullptr);
  ASSERT_NE(FindFtpCommand("XPWD"), nullptr);
}

}  // namespace
}  // namespace kestova
