#include "linux/options.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

bool Parse(std::vector<std::string> arguments, LinuxOptions* options, std::string* error) {
  return ParseLinuxOptions(arguments, options, error);
}

TEST(LinuxOptionsTest, DefaultsWithoutArguments) {
  LinuxOptions options;
  std::string error;
  ASSERT_TRUE(Parse({}, &options, &error));
  EXPECT_EQ(options.port, 21);
  EXPECT_EQ(options.capture, "auto");
  EXPECT_FALSE(options.activePortGiven);
  EXPECT_TRUE(options.folder.empty());
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.maxSessions, 200u);
  EXPECT_EQ(options.maxPerAddress, 8u);
  EXPECT_EQ(options.idleTimeoutSeconds, 300u);
}

TEST(LinuxOptionsTest, EveryOptionInBothSpellings) {
  LinuxOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--folder",
                     "/srv/rec",
                     "--port=2121",
                     "--capture",
                     "none",
                     "--interface=eth0",
                     "--settings",
                     "/tmp/k.ini",
                     "--active-port",
                     "0",
                     "--max-sessions=50",
                     "--max-per-address",
                     "0",
                     "--idle-timeout",
                     "2",
                     "--listen",
                     "127.0.0.1",
                     "--listen=::1",
                     "--passive-ports",
                     "50000-50010",
                     "--ordinary-clients=read-only"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.folder, "/srv/rec");
  EXPECT_EQ(options.port, 2121);
  EXPECT_EQ(options.capture, "none");
  EXPECT_EQ(options.interfaceName, "eth0");
  EXPECT_EQ(options.settingsFile, "/tmp/k.ini");
  EXPECT_TRUE(options.activePortGiven);
  EXPECT_EQ(options.activePort, 0);
  EXPECT_EQ(options.maxSessions, 50u);
  EXPECT_EQ(options.maxPerAddress, 0u);
  EXPECT_EQ(options.idleTimeoutSeconds, 2u);
  EXPECT_EQ(options.listenAddresses, (std::vector<std::string>{"127.0.0.1", "::1"}));
  EXPECT_TRUE(options.passivePortsGiven);
  EXPECT_EQ(options.passiveLow, 50000);
  EXPECT_EQ(options.passiveHigh, 50010);
  EXPECT_EQ(options.ordinaryClients, "read-only");
}

TEST(LinuxOptionsTest, InvalidValuesAreRefusedWithAMessage) {
  const std::vector<std::vector<std::string>> bad = {{"--port", "65536"},
                                                     {"--port", "-1"},
                                                     {"--port", "21x"},
                                                     {"--port"},
                                                     {"--capture", "pcap"},
                                                     {"--interface", "a/b"},
                                                     {"--interface", ""},
                                                     {"--interface", "averyveryverylongname"},
                                                     {"--folder="},
                                                     {"--active-port", "x"},
                                                     {"--verbosity"},
                                                     {"stray"},
                                                     {"--max-sessions", "100001"},
                                                     {"--max-per-address", "-3"},
                                                     {"--idle-timeout", "86401"},
                                                     {"--idle-timeout", "5s"},
                                                     {"--listen", "localhost"},
                                                     {"--listen", "[::1]"},
                                                     {"--passive-ports", "50010-50000"},
                                                     {"--passive-ports", "0-10"},
                                                     {"--ordinary-clients", "readonly"}};
  for (const std::vector<std::string>& arguments : bad) {
    LinuxOptions options;
    std::string error;
    EXPECT_FALSE(Parse(arguments, &options, &error)) << arguments[0];
    EXPECT_FALSE(error.empty()) << arguments[0];
  }
}

TEST(LinuxOptionsTest, HelpIsRecognised) {
  LinuxOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"-h"}, &options, &error));
  EXPECT_TRUE(options.help);
  EXPECT_NE(LinuxUsageText().find("--capture METHOD"), std::string::npos);
  ASSERT_TRUE(Parse({"--version"}, &options, &error));
  EXPECT_TRUE(options.version);
}

}  // namespace
}  // namespace kestova
