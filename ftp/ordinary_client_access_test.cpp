// The access policy and passive port range as texts.
#include "ftp/ordinary_client_access.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(OrdinaryClientAccessTest, PolicyWordsAreReadExactly) {
  const struct {
    const char* text;
    bool valid;
    OrdinaryClientAccess access;
  } cases[] = {
      {"full", true, OrdinaryClientAccess::kFull},
      {" read-only ", true, OrdinaryClientAccess::kReadOnly},
      {"none", true, OrdinaryClientAccess::kNone},
      {"readonly", false, {}},
      {"FULL", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    OrdinaryClientAccess access = OrdinaryClientAccess::kFull;
    ASSERT_EQ(ParseOrdinaryClientAccess(c.text, &access), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(access, c.access) << c.text;
    // The name reads back as the same policy.
    OrdinaryClientAccess again = OrdinaryClientAccess::kFull;
    ASSERT_TRUE(ParseOrdinaryClientAccess(OrdinaryClientAccessName(access), &again));
    EXPECT_EQ(again, c.access) << c.text;
  }
}

TEST(OrdinaryClientAccessTest, EachPolicyRefusesItsCommands) {
  const struct {
    const char* verb;
    bool readOnlyRefuses;
    bool noneRefuses;
  } cases[] = {
      {"RETR", false, true}, {"LIST", false, true},  {"MLSD", false, true},  {"CWD", false, true},
      {"STOR", true, true},  {"APPE", true, true},   {"DELE", true, true},   {"RNFR", true, true},
      {"RNTO", true, true},  {"XMKD", true, true},   {"RMD", true, true},    {"MFMT", true, true},
      {"PWD", false, false}, {"PASV", false, false}, {"FEAT", false, false}, {"TYPE", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(AccessRefuses(OrdinaryClientAccess::kFull, c.verb)) << c.verb;
    EXPECT_EQ(AccessRefuses(OrdinaryClientAccess::kReadOnly, c.verb), c.readOnlyRefuses) << c.verb;
    EXPECT_EQ(AccessRefuses(OrdinaryClientAccess::kNone, c.verb), c.noneRefuses) << c.verb;
  }
}

TEST(OrdinaryClientAccessTest, PortRangesNeedTwoPortsInOrder) {
  const struct {
    const char* text;
    bool valid;
    uint16_t low, high;
  } cases[] = {
      {"50000-50100", true, 50000, 50100},
      {"2121-2121", true, 2121, 2121},
      {"1-65535", true, 1, 65535},
      {"0-10", false, 0, 0},
      {"10-9", false, 0, 0},
      {"10-65536", false, 0, 0},
      {"10", false, 0, 0},
      {"a-b", false, 0, 0},
      {"-5", false, 0, 0},
  };
  for (const auto& c : cases) {
    PassivePortRange range;
    ASSERT_EQ(ParsePassivePortRange(c.text, &range), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(range.low, c.low);
    EXPECT_EQ(range.high, c.high);
  }
}

}  // namespace
}  // namespace kestova
