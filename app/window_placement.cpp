#include "app/window_placement.h"

#include <cstdio>
#include <cstdlib>

#include "platform/settings.h"

namespace kestova {
namespace {

constexpr char kWindowSection[] = "Window";
constexpr char kPageSection[] = "PageReceive";

// The saved integer, or `fallback` when the key is missing or not a number.
int ReadInt(const char* section, const char* key, int fallback) {
  CCountedString text;
  ReadSetting(section, key, "", &text);
  if (text.IsEmpty()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text.CStr(), &end, 10);
  return (end != nullptr && *end == '\0') ? static_cast<int>(value) : fallback;
}

void WriteInt(const char* section, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  WriteSetting(section, key, text);
}

}  // namespace

void RestoreWindowPlacement(HWND window, SIZE minimum) {
  constexpr int kMissing = -100000;
  const int left = ReadInt(kWindowSection, "Left", kMissing);
  const int top = ReadInt(kWindowSection, "Top", kMissing);
  const int width = ReadInt(kWindowSection, "Width", 0);
  const int height = ReadInt(kWindowSection, "Height", 0);
  if (left == kMissing || top == kMissing || width < minimum.cx || height < minimum.cy) return;
  const RECT rect = {left, top, left + width, top + height};
  // A monitor that has gone (a laptop undocked) must not take the window with it.
  if (MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) == nullptr) return;
  SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SaveWindowPlacement(HWND window) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(window, &placement)) return;
  const RECT& rect = placement.rcNormalPosition;
  WriteInt(kWindowSection, "Left", rect.left);
  WriteInt(kWindowSection, "Top", rect.top);
  WriteInt(kWindowSection, "Width", rect.right - rect.left);
  WriteInt(kWindowSection, "Height", rect.bottom - rect.top);
}

int SavedColumnWidth(int column, int fallback) {
  char key[16];
  std::snprintf(key, sizeof key, "Column%d", column);
  const int width = ReadInt(kPageSection, key, fallback);
  return width >= 10 && width <= 2000 ? width : fallback;
}

void SaveColumnWidth(int column, int width) {
  char key[16];
  std::snprintf(key, sizeof key, "Column%d", column);
  WriteInt(kPageSection, key, width);
}

}  // namespace kestova
