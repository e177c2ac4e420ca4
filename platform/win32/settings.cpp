// Settings on Windows: the system's private-profile functions.
#include "platform/settings.h"

#include <windows.h>

#include "platform/settings_file.h"

namespace kestova {

unsigned ReadSettingFrom(const CCountedString& path, const char* section, const char* key,
                         const char* defaultText, CCountedString* value) {
  CCountedString text;
  DWORD count = 0;
  if (section != nullptr && key != nullptr) {
    // A buffer of kSettingValueCapacity bytes: a longer value arrives cut to 1023.
    char* buffer = text.GetBuffer(kSettingValueCapacity - 1);
    count = GetPrivateProfileStringA(section, key, defaultText != nullptr ? defaultText : "",
                                     buffer, kSettingValueCapacity, path.CStr());
    text.ReleaseBuffer();
  } else {
    text = defaultText != nullptr ? defaultText : "";
    if (text.Length() > kSettingValueCapacity - 1) text.Truncate(kSettingValueCapacity - 1);
    count = static_cast<DWORD>(text.Length());
  }
  *value = text;
  return count;
}

bool WriteSettingTo(const CCountedString& path, const char* section, const char* key,
                    const char* value) {
  if (!IsStorableSetting(section, key, value)) return false;
  return WritePrivateProfileStringA(section, key, value, path.CStr()) != FALSE;
}

}  // namespace kestova
