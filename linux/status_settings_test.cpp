#include "linux/status_settings.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(StatusSettingsTest, CommandLineThenSettingsFileThenOff) {
  const struct {
    std::vector<std::string> arguments;
    const char* filePort;
    const char* fileAddress;
    const char* fileHook;
    bool enabled;
    uint16_t port;
    const char* address;
    const char* hook;
    bool warns;
  } kCases[] = {
      {{}, "", "", "", false, 0, "0.0.0.0", "", false},
      {{}, "8021", "", "/bin/true", true, 8021, "0.0.0.0", "/bin/true", false},
      {{}, "off", "127.0.0.1", "", false, 0, "127.0.0.1", "", false},
      {{}, "0", "", "", false, 0, "0.0.0.0", "", false},
      {{}, "80x", "", "", false, 0, "0.0.0.0", "", true},
      {{}, "70000", "", "", false, 0, "0.0.0.0", "", true},
      {{"--status-port", "0"}, "8021", "", "", true, 0, "0.0.0.0", "", false},
      {{"--status-port=off"}, "8021", "", "", false, 0, "0.0.0.0", "", false},
      {{"--status-port", "9000", "--status-address", "::1"},
       "8021",
       "127.0.0.1",
       "",
       true,
       9000,
       "::1",
       "",
       false},
      {{"--on-complete", ""}, "", "", "/bin/true", false, 0, "0.0.0.0", "", false},
      {{"--on-complete", "/x y"}, "", "", "/bin/true", false, 0, "0.0.0.0", "/x y", false},
  };
  for (const auto& c : kCases) {
    LinuxOptions options;
    std::string error;
    ASSERT_TRUE(ParseLinuxOptions(c.arguments, &options, &error)) << error;
    std::string warning;
    const StatusSettings settings =
        ChooseStatusSettings(options, c.filePort, c.fileAddress, c.fileHook, &warning);
    const std::string what = std::string("port ") + c.filePort;
    EXPECT_EQ(settings.pageEnabled, c.enabled) << what;
    EXPECT_EQ(settings.port, c.port) << what;
    EXPECT_EQ(settings.address, c.address) << what;
    EXPECT_EQ(settings.onComplete, c.hook) << what;
    EXPECT_EQ(!warning.empty(), c.warns) << what << warning;
  }
  LinuxOptions options;
  std::string error;
  for (const char* bad : {"--status-port=-1", "--status-port=65536", "--status-address=a b"}) {
    EXPECT_FALSE(ParseLinuxOptions({bad}, &options, &error)) << bad;
  }
}

TEST(StatusSettingsTest, HookLimitFromTheCommandLineThenTheFileThenTwo) {
  const struct {
    std::vector<std::string> arguments;
    const char* fileLimit;
    uint32_t limit;
    bool warns;
  } kCases[] = {
      {{}, "", 2, false},         {{}, "5", 5, false},   {{}, "0", 2, true},
      {{}, "65", 2, true},        {{}, "x", 2, true},    {{"--hook-limit", "1"}, "5", 1, false},
      {{"--hook-limit=64"}, "", 64, false},
  };
  for (const auto& c : kCases) {
    LinuxOptions options;
    std::string error;
    ASSERT_TRUE(ParseLinuxOptions(c.arguments, &options, &error)) << error;
    std::string warning;
    EXPECT_EQ(ChooseHookLimit(options, c.fileLimit, &warning), c.limit) << c.fileLimit;
    EXPECT_EQ(!warning.empty(), c.warns) << c.fileLimit << warning;
  }
  LinuxOptions options;
  std::string error;
  for (const char* bad : {"--hook-limit=0", "--hook-limit=65", "--hook-limit=two"}) {
    EXPECT_FALSE(ParseLinuxOptions({bad}, &options, &error)) << bad;
  }
}

}  // namespace
}  // namespace kestova
