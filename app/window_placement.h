// The main window's size and position, kept in the settings file ([Window] Left=, Top=,
// Width=, Height=, in screen pixels of the restored window).
#pragma once

#include "app/window_helpers.h"

namespace kestova {

// Moves `window` to the saved rectangle when one is saved, is at least `minimum` large and
// lies at least partly on a monitor; otherwise leaves it where it is.
void RestoreWindowPlacement(HWND window, SIZE minimum);
// Saves the window's restored rectangle (also when it is minimised or maximised).
void SaveWindowPlacement(HWND window);

// The saved width of list column `column` ([PageReceive] Column<n>=), or `fallback` when
// none or an unusable one (not between 10 and 2000 pixels) is saved.
int SavedColumnWidth(int column, int fallback);
void SaveColumnWidth(int column, int width);

}  // namespace kestova
