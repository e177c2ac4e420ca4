// CApplication: the program's one application object, and the framework's message loop.
//
// A program derives from CApplication, makes one object of it (usually a global, like
// `theApp`), and its WinMain calls `return theApp.Run(instance);`. Run:
//   1. remembers `instance` as ResourceInstance();
//   2. calls InitInstance; when that returns true, runs the message loop (RouteMessage)
//      until WM_QUIT;
//   3. returns ExitInstance() (base: the WM_QUIT exit code, 0 when the loop never ran).
// A dialog program runs its main dialog modally inside InitInstance and returns false.
#pragma once

#include "ui/window.h"

namespace kestova {

class CApplication {
 public:
  CApplication();
  virtual ~CApplication();
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  // The object constructed last (null before any exists).
  static CApplication* Current();

  int Run(HINSTANCE instance);

  // The main window: the modal loop and the program use it as owner of messages.
  void SetMainWindow(CWnd* window) { mainWindow_ = window; }
  CWnd* GetMainWindow() const { return mainWindow_; }

 protected:
  virtual bool InitInstance() { return false; }
  virtual int ExitInstance() { return exitCode_; }

 private:
  CWnd* mainWindow_ = nullptr;
  int exitCode_ = 0;
};

// The module whose dialog templates, strings and icons the framework loads: set by
// CApplication::Run or SetResourceInstance; by default the executable.
HINSTANCE ResourceInstance();
void SetResourceInstance(HINSTANCE instance);

// Pre-translation of one message: PreTranslateMessage of the message's window and of each
// ancestor that is ours, innermost first, up to the top-level window. True: consumed.
bool PreTranslateThroughAncestors(MSG* message);

// What the framework does with every message it takes from the queue: pre-translation,
// then the top-level dialog's keyboard navigation (IsDialogMessageA), then
// TranslateMessage and DispatchMessageA. A message pump of the program (PumpMessages)
// calls this for each message so that the controls' key handling stays the same.
void RouteMessage(MSG* message);

}  // namespace kestova
