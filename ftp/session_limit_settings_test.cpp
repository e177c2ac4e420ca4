#include "ftp/session_limit_settings.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(SessionLimitSettings, ValuesInRangeAreTakenAnythingElseKeepsTheDefault) {
  const struct {
    const char* maxSessions;
    const char* maxPerAddress;
    const char* idle;
    int32_t total;
    int32_t perAddress;
    uint32_t idleMs;
  } cases[] = {
      {nullptr, nullptr, nullptr, 200, 8, 300000},
      {"50", "2", "30", 50, 2, 30000},
      {"0", "0", "0", 0, 0, 0},
      {" 64 ", "16", "86400", 64, 16, 86400000},
      {"-1", "x", "86401", 200, 8, 300000},
      {"", "8.5", "1e3", 200, 8, 300000},
      {"100001", "4294967296", "99999999999", 200, 8, 300000},
  };
  for (const auto& c : cases) {
    const FtpSessionLimits limits = ParseSessionLimits(c.maxSessions, c.maxPerAddress, c.idle);
    EXPECT_EQ(limits.total, c.total) << (c.maxSessions ? c.maxSessions : "(absent)");
    EXPECT_EQ(limits.perAddress, c.perAddress) << (c.maxPerAddress ? c.maxPerAddress : "(absent)");
    EXPECT_EQ(limits.idleTimeoutMs, c.idleMs) << (c.idle ? c.idle : "(absent)");
  }
}

}  // namespace
}  // namespace kestova
