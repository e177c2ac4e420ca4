// CThemeApi: the visual-styles library (UxTheme.Dll) bound at run time by name, so the
// program runs unchanged where it is missing (Windows 2000). Every entry point may be
// missing on its own (an older library); a missing one is null.
// Of the 47 entry points the program calls only EnableThemeDialogTexture.
#pragma once

#include "ui/win.h"

namespace kestova {

// Loads the library `name` from the system folder by its full path (a library of that
// name planted elsewhere, the executable's folder included, is never loaded); null on failure.
HMODULE LoadSystemLibrary(const char* name);

class CThemeApi {
 public:
  // The entry points, in the order they are bound and stored.
  enum Entry {
    kOpenThemeData,
    kCloseThemeData,
    kDrawThemeBackground,
    kDrawThemeText,
    kGetThemeBackgroundContentRect,
    kGetThemeBackgroundExtent,
    kGetThemePartSize,
    kGetThemeTextExtent,
    kGetThemeTextMetrics,
    kGetThemeBackgroundRegion,
    kHitTestThemeBackground,
    kDrawThemeEdge,
    kDrawThemeIcon,
    kIsThemePartDefined,
    kIsThemeBackgroundPartiallyTransparent,
    kGetThemeColor,
    kGetThemeMetric,
    kGetThemeString,
    kGetThemeBool,
    kGetThemeInt,
    kGetThemeEnumValue,
    kGetThemePosition,
    kGetThemeFont,
    kGetThemeRect,
    kGetThemeMargins,
    kGetThemeIntList,
    kGetThemePropertyOrigin,
    kSetWindowTheme,
    kGetThemeFilename,
    kGetThemeSysColor,
    kGetThemeSysColorBrush,
    kGetThemeSysBool,
    kGetThemeSysSize,
    kGetThemeSysFont,
    kGetThemeSysString,
    kGetThemeSysInt,
    kIsThemeActive,
    kIsAppThemed,
    kGetWindowTheme,
    kEnableThemeDialogTexture,
    kIsThemeDialogTextureEnabled,
    kGetThemeAppProperties,
    kSetThemeAppProperties,
    kGetCurrentThemeName,
    kGetThemeDocumentationProperty,
    kDrawThemeParentBackground,
    kEnableTheming,
    kEntryCount
  };
  static const char* const kEntryNames[kEntryCount];
  static constexpr const char* kLibraryName = "UxTheme.Dll";

  // Loads `library` (the visual-styles library unless a test names another) from the
  // system folder by its full path, never from the executable's folder or the search path,
  // and binds every entry point it has; when it cannot be loaded the binding stays empty.
  explicit CThemeApi(const char* library = kLibraryName);
  virtual ~CThemeApi();  // frees the library when it was loaded
  CThemeApi(const CThemeApi&) = delete;
  CThemeApi& operator=(const CThemeApi&) = delete;

  bool IsLoaded() const { return library_ != nullptr; }
  FARPROC EntryPoint(Entry entry) const { return entries_[entry]; }

  // The library's EnableThemeDialogTexture(window, flags) when bound; else 1 (S_FALSE),
  // doing nothing.
  HRESULT EnableThemeDialogTexture(HWND window, DWORD flags) const;

 private:
  HMODULE library_ = nullptr;
  FARPROC entries_[kEntryCount] = {};
};

}  // namespace kestova
