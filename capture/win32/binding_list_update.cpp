#include "capture/win32/binding_list_update.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/win32/binding_list.h"

namespace kestova {
namespace {

// KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY
constexpr REGSAM kLinkageAccess = 0x2001F;
constexpr DWORD kSubkeyNameCapacity = 257;

// Reads a REG_SZ or REG_MULTI_SZ value whole through the 1024-byte buffer; false when it is
// missing, of another type, empty, longer than the buffer or not terminated within it.
bool ReadList(HKEY key, const char* name, std::vector<std::string>* strings) {
  char buffer[kBindingValueCapacity] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_MULTI_SZ) return false;
  return SplitBindingList(buffer, size, type == REG_MULTI_SZ, strings);
}

bool HasOneRootDevice(HKEY linkage) {
  std::vector<std::string> roots;
  return ReadList(linkage, "RootDevice", &roots) && roots.size() == 1;
}

void UpdateAdapter(HKEY linkage, const char* service, bool add) {
  if (!HasOneRootDevice(linkage)) return;
  char buffer[kBindingValueCapacity] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  if (RegQueryValueExA(linkage, "UpperBind", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::string> old;
  if (size > 0 && (type == REG_SZ || type == REG_MULTI_SZ) &&
      !SplitBindingList(buffer, size, type == REG_MULTI_SZ, &old)) {
    return;  // not read whole: never rewritten from a partial read
  }
  if (!add && !BindingListNames(old, service)) return;
  const std::string bytes = JoinBindingList(UpdatedBindingList(old, service, add));
  RegSetValueExA(linkage, "UpperBind", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
}

}  // namespace

void UpdateBindingLists(const char* service, bool add) {
  HKEY classKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNetworkClassKey, 0, KEY_READ, &classKey) !=
      ERROR_SUCCESS) {
    return;
  }
  for (DWORD index = 0;; ++index) {
    char subkey[kSubkeyNameCapacity] = {};
    DWORD subkeyLength = kSubkeyNameCapacity;
    if (RegEnumKeyExA(classKey, index, subkey, &subkeyLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    char path[sizeof kNetworkClassKey + kSubkeyNameCapacity + 16];
    std::snprintf(path, sizeof path, "%s\\%s\\Linkage", kNetworkClassKey, subkey);
    HKEY linkage = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, kLinkageAccess, &linkage) != ERROR_SUCCESS) {
      continue;
    }
    UpdateAdapter(linkage, service, add);
    RegCloseKey(linkage);
  }
  RegCloseKey(classKey);
}

}  // namespace kestova
