// What ordinary FTP clients may do with the served folder, and the passive port range:
// settings of both front ends.
//
//   [Ftp]
//   OrdinaryClients=full      full | read-only | none
//   PassivePorts=50000-50100  the ports passive data connections listen on (default any)
//
// full: every file command (the default). read-only: listings and downloads only; STOR,
// APPE, DELE, RNFR, RNTO, MKD, RMD and MFMT of ordinary files are refused with 550.
// none: every ordinary file command is refused. The recorder's three dubbing names work
// under each. A missing or unreadable value keeps the default.
#pragma once

#include <cstdint>

namespace kestova {

enum class OrdinaryClientAccess { kFull, kReadOnly, kNone };

struct PassivePortRange {
  uint16_t low = 0;  // 0 (and high 0): any free port
  uint16_t high = 0;
  bool IsAny() const { return low == 0; }
};

// True when `access` refuses the command `verb` (upper-cased) on an ordinary file or
// folder: read-only refuses what changes the folder, none every command that names or
// lists a file or folder. Commands that touch nothing (PWD, TYPE, PASV, FEAT, ...) pass.
bool AccessRefuses(OrdinaryClientAccess access, const char* verb);

// "full", "read-only" or "none" (white space around it allowed); false for anything else.
bool ParseOrdinaryClientAccess(const char* text, OrdinaryClientAccess* access);
const char* OrdinaryClientAccessName(OrdinaryClientAccess access);
// "LOW-HIGH" with 1 <= LOW <= HIGH <= 65535; false for anything else.
bool ParsePassivePortRange(const char* text, PassivePortRange* range);

// The two settings from the settings file (defaults where missing or unreadable).
OrdinaryClientAccess ReadOrdinaryClientAccessSetting();
PassivePortRange ReadPassivePortSetting();

}  // namespace kestova
