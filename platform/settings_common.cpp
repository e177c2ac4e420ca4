// The parts of settings.h that are the same on every system.
#include <cstring>

#include "platform/module.h"
#include "platform/settings.h"
#include "platform/settings_file.h"

namespace kestova {
namespace {

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

}  // namespace

bool IsStorableSetting(const char* section, const char* key, const char* value) {
  if (section == nullptr || key == nullptr || value == nullptr) return false;
  if (*section == '\0' || *key == '\0') return false;
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  // A key that starts with '[' would read back as a section header.
  const char* keyStart = key + std::strspn(key, " \t");
  if (*keyStart == '[') return false;
  return std::strchr(key, '=') == nullptr && std::strchr(section, ']') == nullptr;
}

unsigned ReadSetting(const char* section, const char* key, const char* defaultText,
                     CCountedString* value) {
  return ReadSettingFrom(GetSettingsFilePath(), section, key, defaultText, value);
}

bool WriteSetting(const char* section, const char* key, const char* value) {
  return WriteSettingTo(GetSettingsFilePath(), section, key, value);
}

}  // namespace kestova
