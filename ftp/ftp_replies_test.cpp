#include "ftp/ftp_replies.h"

#include <gtest/gtest.h>

#include <string>

namespace kestova {
namespace {

TEST(FtpRepliesTest, LinesFillTheirArgumentsInOrder) {
  struct Case {
    CCountedString line;
    const char* expected;
  } const cases[] = {
      {FtpReplyLine(FtpReply::kOk), "200 OK"},
      {FtpReplyLine(FtpReply::kCannotRestart, {int64_t{-5}, "a b", uint64_t{1} << 40}),
       "554 Can't restart at -5: \"a b\" has 1099511627776 bytes."},
      // An argument is taken as it is: no "{}" or '%' inside it is expanded.
      {FtpReplyLine(FtpReply::kFileNotFound, {"{}%s"}), "550 \"{}%s\": File not found."},
      {FtpReplyLine(FtpReply::kTypeSet), "200 Type set to "},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.line.CStr(), c.expected);
}

TEST(FtpRepliesTest, AMultiLineReplyFollowsItsCodeDirectly) {
  const std::string help = FtpReplyLine(FtpReply::kHelp).CStr();
  EXPECT_EQ(help.rfind("214-The following commands are recognized:\r\n", 0), 0u);
  EXPECT_EQ(help.substr(help.size() - 30), "\r\n214 HELP command successful.");
}

}  // namespace
}  // namespace kestova
