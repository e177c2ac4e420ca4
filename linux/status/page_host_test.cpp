#include "linux/status/page_host.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestova {
namespace {

TEST(PageHost, OnlyNamesAndAddressesOfThisMachineAreAllowed) {
  const std::vector<std::string> names = {"nas", "nas.local"};
  const std::vector<std::string> addresses = {"127.0.0.1", "192.168.1.5", "fe80::1"};
  const struct {
    const char* host;
    bool allowed;
  } cases[] = {
      {"localhost", true},       {"LOCALHOST:8021", true},    {"nas:8021", true},
      {"NAS.local.", true},      {"192.168.1.5:8021", true},  {"[fe80::0:1]:8021", true},
      {"127.0.0.1", true},       {"evil.example", false},     {"evil.example:8021", false},
      {"192.168.1.6", false},    {"nas.evil.example", false}, {"", false},
      {"[fe80::1", false},       {"[fe80::1]x", false},       {"fe80::1", false},
      {"localhost.evil", false}, {"0x7f.0.0.1", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostHeaderAllowed(c.host, names, addresses), c.allowed) << c.host;
  }
}

TEST(PageHost, TheLoopbackAddressIsOneOfThisMachine) {
  const std::vector<std::string> addresses = LocalAddressTexts();
  EXPECT_NE(std::find(addresses.begin(), addresses.end(), "127.0.0.1"), addresses.end());
}

TEST(PageHost, AConfiguredNameCountsAndAConfiguredAddressIsNoName) {
  const std::vector<std::string> names = LocalHostNames("Box.Home");
  EXPECT_NE(std::find(names.begin(), names.end(), "box.home"), names.end());
  const std::vector<std::string> none = LocalHostNames("0.0.0.0");
  EXPECT_EQ(std::find(none.begin(), none.end(), "0.0.0.0"), none.end());
}

}  // namespace
}  // namespace kestova
