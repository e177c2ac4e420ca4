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

StatusSettings ResolveStatusSettings(const LinuxOptions& options, std::string* warning) {
  return ChooseStatusSettings(options, Setting("Status", "Port"), Setting("Status", "Address"),
                              Setting("Hook", "OnComplete"), warning);
}

}  // namespace kestova
