// Reading and writing one key of a given settings file. ReadSetting and WriteSetting
// (platform/settings.h) apply these to GetSettingsFilePath(); tests use their own files.
#pragma once

#include "base/counted_string.h"

namespace kestova {

// As ReadSetting, on the file at `path`.
unsigned ReadSettingFrom(const CCountedString& path, const char* section, const char* key,
                         const char* defaultText, CCountedString* value);

// As WriteSetting, on the file at `path`.
bool WriteSettingTo(const CCountedString& path, const char* section, const char* key,
                    const char* value);

// False when the names or the value cannot be stored as one "key=value" line of one
// "[section]": a null or empty name, a line break anywhere, '=' in the key or a key
// that starts with '[', ']' in the section. Such a write would break the file or
// create other keys, so it is refused.
bool IsStorableSetting(const char* section, const char* key, const char* value);

}  // namespace kestova
