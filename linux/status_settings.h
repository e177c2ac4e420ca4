// The status page and completion hook settings of kestov-a: the command line, else the
// settings file, else off.
//
//   [Status]
//   Port=8021          ; the status page's port; empty, 0 or off = no status page
//   Address=0.0.0.0    ; where it listens (127.0.0.1 = this computer only)
//   [Hook]
//   OnComplete=/usr/local/bin/after-dubbing --notify     ; run after each reception
//   Limit=2            ; at most so many such commands at once (1 to 64)
//
// In the file, port 0 turns the page off (a service wants a port that stays put); on the
// command line --status-port 0 takes any free port (told on standard output).
#pragma once

#include <cstdint>
#include <string>

#include "linux/options.h"

namespace kestova {

struct StatusSettings {
  bool pageEnabled = false;
  std::string address = "0.0.0.0";
  uint16_t port = 0;
  std::string onComplete;  // empty: no hook
  uint32_t hookLimit = 2;  // hook commands running at once
};

// Resolves the settings; a malformed settings value is reported in *warning (one line)
// and leaves the page off.
StatusSettings ResolveStatusSettings(const LinuxOptions& options, std::string* warning);

// The settings file's values, as ReadSetting gives them; split out so that the choice can
// be tested without a file.
StatusSettings ChooseStatusSettings(const LinuxOptions& options, const std::string& filePort,
                                    const std::string& fileAddress,
                                    const std::string& fileOnComplete, std::string* warning);

// The hook limit: --hook-limit, else the file's [Hook] Limit, else 2; a malformed file
// value is reported in *warning (appended) and the default kept.
uint32_t ChooseHookLimit(const LinuxOptions& options, const std::string& fileLimit,
                         std::string* warning);

}  // namespace kestova
