#include "linux/status_settings.h"

#include "base/counted_string.h"
#include "platform/settings.h"
#include "platform/texts.h"

namespace kestova {
namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Setting(const char* section, const char* key) {
  CCountedString value;
  ReadSetting(section, key, "", &value);
  return Trimmed(value.CStr());
}

}  // namespace

StatusSettings ChooseStatusSettings(const LinuxOptions& options, const std::string& filePort,
                                    const std::string& fileAddress,
                                    const std::string& fileOnComplete, std::string* warning) {
  StatusSettings settings;
  if (options.statusPortGiven) {
    settings.pageEnabled = !options.statusOff;
    settings.port = options.statusPort;
  } else if (!filePort.empty() && filePort != "off" && filePort != "0") {
    unsigned long value = 0;
    bool valid = filePort.size() <= 5;
    for (char c : filePort) valid = valid && c >= '0' && c <= '9';
    if (valid) value = std::stoul(filePort);
    if (!valid || value == 0 || value > 65535) {
      *warning = Format(T_("[Status] Port must be a port number from 1 to 65535 or off, not "
                           "'%s'; the status page is off"),
                        filePort.c_str());
    } else {
      settings.pageEnabled = true;
      settings.port = static_cast<uint16_t>(value);
    }
  }
  if (!options.statusAddress.empty()) {
    settings.address = options.statusAddress;
  } else if (!fileAddress.empty()) {
    settings.address = fileAddress;
  }
  settings.onComplete = options.onCompleteGiven ? options.onComplete : fileOnComplete;
  return settings;
}

uint32_t ChooseHookLimit(const LinuxOptions& options, const std::string& fileLimit,
                         std::string* warning) {
  const uint32_t fallback = StatusSettings().hookLimit;
  if (options.hookLimitGiven) return options.hookLimit;
  if (fileLimit.empty()) return fallback;
  bool valid = fileLimit.size() <= 2;
  for (char c : fileLimit) valid = valid && c >= '0' && c <= '9';
  const unsigned long value = valid ? std::stoul(fileLimit) : 0;
  if (value >= 1 && value <= 64) return static_cast<uint32_t>(value);
  *warning += std::string(warning->empty() ? "" : "; ") +
              "[Hook] Limit must be a number from 1 to 64, not '" + fileLimit + "'; it stays " +
              std::to_string(fallback);
  return fallback;
}

StatusSettings ResolveStatusSettings(const LinuxOptions& options, std::string* warning) {
  StatusSettings settings =
      ChooseStatusSettings(options, Setting("Status", "Port"), Setting("Status", "Address"),
                           Setting("Hook", "OnComplete"), warning);
  settings.hookLimit = ChooseHookLimit(options, Setting("Hook", "Limit"), warning);
  return settings;
}

}  // namespace kestova
