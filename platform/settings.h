// One key of the settings file: a private-profile (INI) file with "[Section]" header
// lines and "key=value" lines. On Windows the system's private-profile functions
// read and write it; on Linux a reader/writer of our own with the same results.
#pragma once

#include "base/counted_string.h"

namespace kestova {

// Values are read through a 1024-byte buffer: a longer value arrives as its first
// 1023 bytes.
constexpr unsigned kSettingValueCapacity = 1024;

// `value` receives the key's text, or `defaultText` when the key, its section or the
// file is missing. Returns the number of characters placed in `value`.
unsigned ReadSetting(const char* section, const char* key, const char* defaultText,
                     CCountedString* value);

// Writes the key, creating the file and the section as needed. True on success.
bool WriteSetting(const char* section, const char* key, const char* value);

}  // namespace kestova
