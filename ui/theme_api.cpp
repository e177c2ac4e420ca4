// CThemeApi: the visual-styles library bound by name at run time.
#include "ui/theme_api.h"

namespace kestova {

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
  library_ = library != nullptr ? ::LoadLibraryA(library) : nullptr;
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
