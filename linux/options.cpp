#include "linux/options.h"

#include "ftp/ordinary_client_access.h"
#include "net/ip_address.h"
#include "platform/texts.h"

namespace kestova {
namespace {

bool ParsePort(const std::string& text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

// A decimal count from 0 to `maximum`.
bool ParseCount(const std::string& text, uint32_t maximum, uint32_t* count) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > maximum) return false;
  *count = value;
  return true;
}

// Upper bounds of the limit options: far beyond any use, small enough for the counters.
constexpr uint32_t kMaxSessionsLimit = 100000;
constexpr uint32_t kIdleTimeoutLimitSeconds = 86400;

// A Linux interface name: 1 to 15 bytes, no '/', no white space, not "." or "..".
bool IsValidInterfaceName(const std::string& name) {
  if (name.empty() || name.size() > 15 || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == ':' || c == ' ' || c == '\t' || c == '\n' ||
        static_cast<unsigned char>(c) < 0x21) {
      return false;
    }
  }
  return true;
}

bool IsCaptureMethod(const std::string& method) {
  return method == "none" || method == "packet" || method == "socket" || method == "auto";
}

}  // namespace

bool ParseLinuxOptions(const std::vector<std::string>& arguments, LinuxOptions* options,
                       std::string* error) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::string value;
    bool hasValue = false;
    const size_t equals = name.find('=');
    if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    if (name == "--help" || name == "-h") {
      options->help = true;
      continue;
    }
    if (name == "--version") {
      options->version = true;
      continue;
    }
    if (name == "--verbose" || name == "-v") {
      options->verbose = true;
      continue;
    }
    const bool takesValue = name == "--folder" || name == "--port" || name == "--capture" ||
                            name == "--interface" || name == "--settings" ||
                            name == "--active-port" || name == "--max-sessions" ||
                            name == "--max-per-address" || name == "--idle-timeout" ||
                            name == "--status-port" || name == "--status-address" ||
                            name == "--on-complete" || name == "--hook-limit" ||
                            name == "--listen" || name == "--passive-ports" ||
                            name == "--ordinary-clients";
    if (!takesValue) {
      *error = Format(T_("unknown option '%s' (see --help)"), arguments[i].c_str());
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= arguments.size()) {
        *error = Format(T_("option '%s' needs a value"), name.c_str());
        return false;
      }
      value = arguments[++i];
    }

    if (name == "--folder") {
      if (value.empty()) {
        *error = T_("--folder needs a folder name");
        return false;
      }
      options->folder = value;
    } else if (name == "--port") {
      if (!ParsePort(value, &options->port)) {
        *error = Format(T_("--port needs a number from 0 to 65535, not '%s'"), value.c_str());
        return false;
      }
    } else if (name == "--active-port") {
      if (!ParsePort(value, &options->activePort)) {
        *error =
            Format(T_("--active-port needs a number from 0 to 65535, not '%s'"), value.c_str());
        return false;
      }
      options->activePortGiven = true;
    } else if (name == "--max-sessions" || name == "--max-per-address") {
      uint32_t* target = name == "--max-sessions" ? &options->maxSessions : &options->maxPerAddress;
      if (!ParseCount(value, kMaxSessionsLimit, target)) {
        *error = Format(T_("%s needs a number from 0 (no limit) to 100000, not '%s'"), name.c_str(),
                        value.c_str());
        return false;
      }
    } else if (name == "--idle-timeout") {
      if (!ParseCount(value, kIdleTimeoutLimitSeconds, &options->idleTimeoutSeconds)) {
        *error = Format(T_("--idle-timeout needs seconds from 0 (none) to 86400, not '%s'"),
                        value.c_str());
        return false;
      }
    } else if (name == "--capture") {
      if (!IsCaptureMethod(value)) {
        *error =
            Format(T_("--capture takes packet, socket, auto or none, not '%s'"), value.c_str());
        return false;
      }
      options->capture = value;
    } else if (name == "--interface") {
      if (!IsValidInterfaceName(value)) {
        *error = Format(T_("--interface needs a network interface name, not '%s'"), value.c_str());
        return false;
      }
      options->interfaceName = value;
    } else if (name == "--status-port") {
      options->statusPortGiven = true;
      options->statusOff = value == "off";
      if (!options->statusOff && !ParsePort(value, &options->statusPort)) {
        *error = Format(T_("--status-port needs a number from 0 to 65535 or off, not '%s'"),
                        value.c_str());
        return false;
      }
    } else if (name == "--status-address") {
      if (value.empty() || value.size() > 255 || value.find_first_of(" \t/") != std::string::npos) {
        *error =
            Format(T_("--status-address needs an address to listen on, not '%s'"), value.c_str());
        return false;
      }
      options->statusAddress = value;
    } else if (name == "--listen") {
      IpAddress address;
      if (!ParseIpAddress(value.c_str(), &address)) {
        *error = Format(T_("--listen needs an IPv4 or IPv6 address, not '%s'"), value.c_str());
        return false;
      }
      options->listenAddresses.push_back(value);
    } else if (name == "--passive-ports") {
      PassivePortRange range;
      if (!ParsePassivePortRange(value.c_str(), &range)) {
        *error = Format(T_("--passive-ports needs LOW-HIGH, ports from 1 to 65535, not '%s'"), value.c_str());
        return false;
      }
      options->passivePortsGiven = true;
      options->passiveLow = range.low;
      options->passiveHigh = range.high;
    } else if (name == "--ordinary-clients") {
      OrdinaryClientAccess access;
      if (!ParseOrdinaryClientAccess(value.c_str(), &access)) {
        *error = Format(T_("--ordinary-clients takes full, read-only or none, not '%s'"), value.c_str());
        return false;
      }
      options->ordinaryClients = value;
    } else if (name == "--on-complete") {
      options->onCompleteGiven = true;
      options->onComplete = value;
    } else if (name == "--hook-limit") {
      if (!ParseCount(value, 64, &options->hookLimit) || options->hookLimit == 0) {
        *error = Format(T_("--hook-limit needs a number from 1 to 64, not '%s'"), value.c_str());
        return false;
      }
      options->hookLimitGiven = true;
    } else if (name == "--settings") {
      if (value.empty()) {
        *error = T_("--settings needs a file name");
        return false;
      }
      options->settingsFile = value;
    }
  }
  return true;
}

std::string LinuxUsageText() {
  // One text per paragraph and per option, so that an option added later is one more text.
  return std::string() +
         T_("Usage: kestov-a [options]\n"
            "Receives programmes dubbed over the network by a recorder and saves them as .MPG\n"
            "files. Serves until interrupted (Ctrl+C, SIGTERM); SIGHUP re-reads the folder\n"
            "from the settings file for new connections (unless --folder was given).\n"
            "\n") +
         T_("  --folder DIR        folder that receives the programmes (saved in the settings\n"
            "                      file; default: the saved folder, else ~/KESTOV-A)\n") +
         T_("  --port N            FTP control port (default 21; 0 = any free port)\n") +
         T_("  --active-port N     source port of active-mode data connections (default 20\n"
            "                      when run as root, else 0 = any free port)\n") +
         T_("  --capture METHOD    how name queries are seen: packet, socket, auto or none\n"
            "                      (default auto)\n") +
         T_("  --interface IF      network interface for name answering (default: all)\n") +
         T_("  --listen ADDR       listen for FTP on this IPv4 or IPv6 address only; repeat\n"
            "                      for more (default: every address, IPv4 and IPv6)\n") +
         T_("  --passive-ports L-H ports of passive data connections, e.g. 50000-50100\n"
            "                      (default: [Ftp] PassivePorts, else any free port)\n") +
         T_("  --ordinary-clients P what FTP clients other than the recorder may do: full,\n"
            "                      read-only or none (default: [Ftp] OrdinaryClients, else\n"
            "                      full); the recorder's dubbing works under each\n") +
         T_("  --max-sessions N    FTP sessions at the same time (default 200; 0 = no limit)\n") +
         T_("  --max-per-address N FTP sessions from one client address (default 8; 0 = no\n"
            "                      limit); a connection over a limit gets 421 and is closed\n") +
         T_("  --idle-timeout S    seconds a control connection may stay quiet between\n"
            "                      commands (default 300; 0 = no time-out)\n") +
         T_("  --settings FILE     settings file (default\n"
            "                      $XDG_CONFIG_HOME/kestov-a/kestov-a.ini, else\n"
            "                      ~/.config/kestov-a/kestov-a.ini)\n") +
         T_("  --status-port N     serve the status page on port N (0 = any free port, off =\n"
            "                      none; default: [Status] Port of the settings file, else "
            "off)\n") +
         T_("  --status-address A  address the status page listens on (default: [Status]\n"
            "                      Address, else 0.0.0.0 = every IPv4 address; 127.0.0.1 =\n"
            "                      this computer only)\n") +
         T_("  --on-complete CMD   run CMD (a program and its arguments, no shell) after each\n"
            "                      reception; KESTOVA_FILE, KESTOVA_STATE, KESTOVA_BYTES, ...\n"
            "                      tell which (default: [Hook] OnComplete; \"\" = none)\n") +
         T_("  --hook-limit N      at most N such commands at once; the others wait in order\n"
            "                      (1 to 64; default: [Hook] Limit, else 2)\n") +
         T_("  --verbose           log ignored name queries and the dubbing documents too\n") +
         T_("  --version           show the version\n") +
         T_("  --help              show this text\n");
}

}  // namespace kestova
