// CWnd: one C++ object per window handle.
//
// Hand-off: an object is joined to its window once, by SubclassWindow (an existing
// control, e.g. a dialog item) or by the dialog creation of CDialog. The object's address
// is then kept in the window's user data (GWLP_USERDATA), and a single static window
// procedure turns every message into a call of the object's virtual handlers. FromHandle
// finds the object again without any global map: a window is ours when its window (or
// dialog) procedure is the framework's, and then its user data is the object.
//
// Dispatch of one message, in this order:
//   WM_NOTIFY   the source control's OnReflectedNotify (when the source is ours and claims
//               it), else this window's OnNotify, else the default procedure;
//   WM_COMMAND  from a control: the control's OnReflectedCommand, else OnCommand;
//               from a menu or accelerator: OnCommand; else the default procedure;
//   WM_DRAWITEM the control's DrawItem (when the control is ours), else OnMessage;
//   anything else: OnMessage, else the default procedure.
// A handler returns true when it has produced the message's result (in *result); false
// asks for the default procedure (for a subclassed control the control's original
// procedure; for a dialog the dialog manager's default, which runs after the handler).
// DefaultProc() runs the original procedure from inside a handler ("default first, then
// ours"); in dialogs it returns 0 and the handler should return false instead.
//
// No exception crosses a window procedure: one thrown by a handler is caught there, the
// message gets its default processing, and the failure is written to the debugger.
//
// Threads: a CWnd is used on the thread that owns its window. Send() from another
// thread is a synchronous cross-thread message (the owner carries it out).
// Not copyable; an object that still holds its window when destroyed gives the window
// back its original procedure first (controls) or destroys it (dialogs).
#pragma once

#include "base/counted_string.h"
#include "ui/win.h"

namespace kestova {

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The object joined to `window`, or null when the window is not ours.
  static CWnd* FromHandle(HWND window);

  HWND GetSafeHwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

  // Joins this object to an existing window: keeps its procedure, installs the
  // framework's, then runs PreSubclassWindow. False (and nothing changed) when `window`
  // is not a window, this object already has one, or the window is already ours.
  bool SubclassWindow(HWND window);
  // Gives the window its original procedure back and forgets it.
  HWND UnsubclassWindow();

  // Thin forwarding to the window (the window must exist).
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  CCountedString GetText() const;
  void SetText(const char* text) const;
  HWND GetParentHwnd() const { return ::GetParent(hwnd_); }
  HWND GetItemHwnd(int id) const { return ::GetDlgItem(hwnd_, id); }
  int GetControlId() const { return ::GetDlgCtrlID(hwnd_); }
  RECT GetClientRect() const;
  RECT GetWindowRect() const;  // screen coordinates
  void Move(const RECT& rect, bool repaint) const;
  void Show(int command) const { ::ShowWindow(hwnd_, command); }
  bool IsVisible() const { return ::IsWindowVisible(hwnd_) != FALSE; }
  bool IsEnabled() const { return ::IsWindowEnabled(hwnd_) != FALSE; }
  void Enable(bool enable) const { ::EnableWindow(hwnd_, enable ? TRUE : FALSE); }
  void Invalidate(bool erase = true) const { ::InvalidateRect(hwnd_, nullptr, erase); }
  void Update() const { ::UpdateWindow(hwnd_); }
  HFONT GetFont() const { return reinterpret_cast<HFONT>(Send(WM_GETFONT)); }
  void SetFont(HFONT font) const { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
  void Focus() const { ::SetFocus(hwnd_); }
  bool Destroy();

  // Message pre-translation: called by the framework's message loop (RouteMessage,
  // ui/application.h) for this window and each of its ancestors, innermost first, before
  // the message is dispatched. True consumes the message. Base: false.
  virtual bool PreTranslateMessage(MSG* message);

 protected:
  // Runs once, right after SubclassWindow has joined the object to its window.
  virtual void PreSubclassWindow() {}

  // Handlers (see the dispatch order above). Base versions return false.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual bool OnCommand(WORD id, WORD code, HWND control, LRESULT* result);
  virtual bool OnNotify(NMHDR* header, LRESULT* result);
  // This control's own notifications, handed back to it by its parent.
  virtual bool OnReflectedNotify(NMHDR* header, LRESULT* result);
  virtual bool OnReflectedCommand(WORD code, LRESULT* result);
  // Owner drawing of this control, handed to it by its parent (WM_DRAWITEM).
  virtual void DrawItem(DRAWITEMSTRUCT* item);
  // Last call of the window's life (after WM_NCDESTROY, the window already forgotten).
  // The object may delete itself here; nothing touches it afterwards.
  virtual void OnFinalMessage() {}

  // The original procedure for the message being handled (see above).
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Used by CDialog to join the dialog at WM_INITDIALOG and to leave it at WM_NCDESTROY.
  void AttachDialog(HWND dialog);
  void DetachDialog();
  // Dispatch of one message as described above; false: default processing wanted.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  friend class CDialog;

  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;  // null for dialogs
};

}  // namespace kestova
