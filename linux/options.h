// The command line of kestov-a.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestova {

struct LinuxOptions {
  std::string folder;  // empty: the saved setting, else the default folder
  uint16_t port = 21;  // FTP control port; 0 = any free port
  bool activePortGiven = false;
  uint16_t activePort = 0;       // source port of active-mode data connections
  std::string capture = "auto";  // none | packet | socket | auto
  std::string interfaceName;     // empty: every suitable interface
  std::string settingsFile;      // empty: the default settings file
  // Session caps and the control connection's idle time-out; 0 = no limit / none.
  uint32_t maxSessions = 200;
  uint32_t maxPerAddress = 8;
  uint32_t idleTimeoutSeconds = 300;
  // --listen, repeatable: addresses of the FTP listeners (IPv4 or IPv6 texts); none =
  // every address of both families.
  std::vector<std::string> listenAddresses;
  // --passive-ports LOW-HIGH; given, it replaces [Ftp] PassivePorts.
  bool passivePortsGiven = false;
  uint16_t passiveLow = 0;
  uint16_t passiveHigh = 0;
  // --ordinary-clients full|read-only|none; given, it replaces [Ftp] OrdinaryClients.
  std::string ordinaryClients;  // empty: not given
  // The status page: given here, these replace the settings file's [Status] keys.
  bool statusPortGiven = false;
  bool statusOff = false;        // --status-port off
  uint16_t statusPort = 0;       // 0 = any free port
  std::string statusAddress;     // empty: the settings file's, else 0.0.0.0
  bool onCompleteGiven = false;  // --on-complete, replaces [Hook] OnComplete
  std::string onComplete;
  bool hookLimitGiven = false;  // --hook-limit, replaces [Hook] Limit
  uint32_t hookLimit = 0;       // hook commands running at once (1 to 64)
  bool verbose = false;  // ignored name queries and dubbing documents in the log too
  bool help = false;
  bool version = false;  // --version: print the version and end
};

// Parses argv[1..]; "--name value" and "--name=value" are both accepted. False with
// a one-line message in `error` for an unknown option, a missing or invalid value.
bool ParseLinuxOptions(const std::vector<std::string>& arguments, LinuxOptions* options,
                       std::string* error);

// The --help text.
std::string LinuxUsageText();

}  // namespace kestova
