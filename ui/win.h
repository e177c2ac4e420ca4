// The one place the window framework includes <windows.h> and the common-control
// declarations. XP-level APIs only (_WIN32_WINNT 0x0501 comes from the build).
//
// The framework's own methods never take the names of the ANSI/Unicode macros of
// <windows.h> (SendMessage, GetWindowText, DrawText, ...): they are called Send, GetText,
// SetText and so on, so nothing here is renamed behind the reader's back.
#pragma once

#include <windows.h>
// After <windows.h>, whose types they use.
#include <commctrl.h>
