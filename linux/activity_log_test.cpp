#include "linux/activity_log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>

#include "linux/status/service_status.h"

namespace kestova {
namespace {

uint32_t Ip(const char* text) { return inet_addr(text); }

TEST(ActivityLogTest, NameQueriesAreLoggedWithTheirReason) {
  const struct {
    NameQueryVerdict verdict;
    const char* name;
    const char* line;
    bool normal;
  } kCases[] = {
      {NameQueryVerdict::kAnswered, "GR-RECORDER     ",
       "name query for GR-RECORDER from 192.168.1.50 answered with 192.168.1.10", true},
      {NameQueryVerdict::kNoAddress, "GR-X           \x01",
       "name query for GR-X<01> from 192.168.1.50 not answered: no address of this host is worth "
       "announcing to it",
       true},
      {NameQueryVerdict::kNoSocket, "GR-X           \x01",
       "name query for GR-X<01> from 192.168.1.50 not answered: no socket can be opened (out of "
       "file descriptors)",
       true},
      {NameQueryVerdict::kSendFailed, "GR-X           \x01",
       "name query for GR-X<01> from 192.168.1.50 not answered: the answer could not be sent "
       "(Network is unreachable)",
       true},
      {NameQueryVerdict::kOtherName, "WORK\nGROUP     \x1d",
       "name query for WORK.GROUP<1D> from 192.168.1.50 ignored: not a recorder's name (GR-...)",
       false},
      {NameQueryVerdict::kNotNameQuery, "",
       "name service message from 192.168.1.50 ignored: not a name query of type NB", false},
  };
  CServiceStatus status;
  for (const auto& c : kCases) {
    NameQueryReport report;
    report.verdict = c.verdict;
    report.name = CCountedString(c.name);
    report.querier = Ip("192.168.1.50");
    report.announced = Ip("192.168.1.10");
    if (c.verdict == NameQueryVerdict::kSendFailed) report.sendError = SystemErrorOf(ENETUNREACH);
    bool normal = !c.normal;
    EXPECT_EQ(NameQueryLogLine(report, &normal), c.line);
    EXPECT_EQ(normal, c.normal) << c.line;
    LogNameQuery(report, &status);
  }
  const ServiceView view = status.Snapshot();
  EXPECT_EQ(view.nameAnswering.answered, 1u);
  EXPECT_EQ(view.nameAnswering.ignored, 4u);
  EXPECT_EQ(view.nameAnswering.lastName, "GR-RECORDER");
  EXPECT_EQ(view.nameAnswering.lastQuerier, "192.168.1.50");
}

TEST(ActivityLogTest, FtpActionsGiveOneLineWithNameBytesAndResult) {
  const struct {
    FtpActivityKind kind;
    const char* argument;
    const char* source;
    uint64_t bytes;
    int reply;
    const char* line;
    bool normal;
  } kCases[] = {
      {FtpActivityKind::kLogin, "", "", 0, 230, "logged in", true},
      {FtpActivityKind::kLogin, "", "", 0, 503, "login failed (503)", true},
      {FtpActivityKind::kDownload, "番組.MPG", "", 5000, 226,
       "download \"番組.MPG\" 5000 bytes, done (226)", true},
      {FtpActivityKind::kUpload, "a.bin", "", 10, 451, "upload \"a.bin\" 10 bytes, failed (451)",
       true},
      {FtpActivityKind::kDownload, "b.bin", "", kFtpBytesUnknown, 426,
       "download \"b.bin\" ? bytes, failed (426)", true},
      {FtpActivityKind::kAppend, "a.bin", "", 3, 226, "append \"a.bin\" 3 bytes, done (226)", true},
      {FtpActivityKind::kDelete, "x\r\n2026-01-01 forged", "", 0, 550,
       "delete \"x\\x0D\\x0A2026-01-01 forged\" failed (550)", true},
      {FtpActivityKind::kRename, "new.MPG", "old.MPG", 0, 250,
       "rename \"old.MPG\" to \"new.MPG\" done (250)", true},
      {FtpActivityKind::kMakeFolder, "d", "", 0, 250, "make folder \"d\" done (250)", true},
      {FtpActivityKind::kRemoveFolder, "d", "", 0, 550, "remove folder \"d\" failed (550)", true},
      {FtpActivityKind::kDownload, "$xml$status.xml", "", 0, 226,
       "download \"$xml$status.xml\" 0 bytes, done (226)", false},
      {FtpActivityKind::kUpload, "$netdubbing$dev0.dat", "", 0, 226,
       "upload \"$netdubbing$dev0.dat\" 0 bytes, done (226)", false},
  };
  for (const auto& c : kCases) {
    FtpActivity activity;
    activity.kind = c.kind;
    activity.peer = "192.168.1.5:50123";
    activity.user = "anna";
    activity.argument = c.argument;
    activity.source = c.source;
    activity.bytes = c.bytes;
    activity.replyCode = c.reply;
    bool normal = !c.normal;
    EXPECT_EQ(FtpActivityLogLine(activity, &normal),
              std::string("ftp 192.168.1.5:50123 user \"anna\": ") + c.line);
    EXPECT_EQ(normal, c.normal) << c.line;
  }
}

}  // namespace
}  // namespace kestova
