// CThemeApi: the visual-styles library bound by name at run time.
#include "ui/theme_api.h"

#include <cstring>

namespace kestova {

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH) return nullptr;
  std::strcat(path, "\\");
  std::strcat(path, name);
  return ::LoadLibraryA(path);
}

const char* const CThemeApi::kEntryNames[kEntryCount] = {
    "OpenThemeData",
    "CloseThemeData",
    "DrawThemeBackground",
    "DrawThemeText",
    "GetThemeBackgroundContentRect",
    "GetThemeBackgroundExtent",
    "GetThemePartSize",
    "GetThemeTextExtent",
    "GetThemeTextMetrics",
    "GetThemeBackgroundRegion",
    "HitTestThemeBackground",
    "DrawThemeEdge",
    "DrawThemeIcon",
    "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent",
    "GetThemeColor",
    "GetThemeMetric",
    "GetThemeString",
    "GetThemeBool",
    "GetThemeInt",
    "GetThemeEnumValue",
    "GetThemePosition",
    "GetThemeFont",
    "GetThemeRect",
    "GetThemeMargins",
    "GetThemeIntList",
    "GetThemePropertyOrigin",
    "SetWindowTheme",
    "GetThemeFilename",
    "GetThemeSysColor",
    "GetThemeSysColorBrush",
    "GetThemeSysBool",
    "GetThemeSysSize",
    "GetThemeSysFont",
    "GetThemeSysString",
    "GetThemeSysInt",
    "IsThemeActive",
    "IsAppThemed",
    "GetWindowTheme",
    "EnableThemeDialogTexture",
    "IsThemeDialogTextureEnabled",
    "GetThemeAppProperties",
    "SetThemeAppProperties",
    "GetCurrentThemeName",
    "GetThemeDocumentationProperty",
    "DrawThemeParentBackground",
    "EnableTheming",
};

CThemeApi::CThemeApi(const char* library) {
  library_ = library != nullptr ? LoadSystemLibrary(library) : nullptr;
  if (library_ == nullptr) return;
  for (int entry = 0; entry < kEntryCount; ++entry) {
    entries_[entry] = ::GetProcAddress(library_, kEntryNames[entry]);
  }
}

CThemeApi::~CThemeApi() {
  if (library_ != nullptr) ::FreeLibrary(library_);
}

HRESULT CThemeApi::EnableThemeDialogTexture(HWND window, DWORD flags) const {
  using Function = HRESULT(WINAPI*)(HWND, DWORD);
  FARPROC address = entries_[kEnableThemeDialogTexture];
  if (address == nullptr) return 1;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address))(window, flags);
}

}  // namespace kestova
