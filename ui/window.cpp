// CWnd: the hand-off, the one window procedure and the dispatch to virtual handlers.
#include "ui/window.h"

#include <cassert>

#include "ui/dialog.h"
#include "ui/handler_guard.h"

namespace kestova {
namespace {

// Our object of `window` when its window procedure is the framework's, or it is one of
// the framework's dialogs (whose dialog procedure is then the framework's).
CWnd* ObjectOf(HWND window) {
  return reinterpret_cast<CWnd*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

void ReportHandlerFailure(const char* where, const char* what) {
  ::OutputDebugStringA("KESTOV-A: ");
  ::OutputDebugStringA(where);
  ::OutputDebugStringA(" failed: ");
  ::OutputDebugStringA(what);
  ::OutputDebugStringA("\n");
}

CWnd::~CWnd() {
  if (hwnd_ != nullptr && original_ != nullptr) UnsubclassWindow();
}

bool CWnd::SubclassWindow(HWND window) {
  if (window == nullptr || !::IsWindow(window) || hwnd_ != nullptr) return false;
  if (FromHandle(window) != nullptr) return false;
  ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  original_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)));
  if (original_ == nullptr) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return false;
  }
  hwnd_ = window;
  PreSubclassWindow();
  return true;
}

HWND CWnd::UnsubclassWindow() {
  HWND window = hwnd_;
  if (window == nullptr || original_ == nullptr) return nullptr;
  ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
  ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  original_ = nullptr;
  hwnd_ = nullptr;
  return window;
}

void CWnd::AttachDialog(HWND dialog) {
  hwnd_ = dialog;
  ::SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::DetachDialog() {
  if (hwnd_ != nullptr) ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
}

LRESULT CWnd::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
  assert(hwnd_ != nullptr);
  return ::SendMessageA(hwnd_, message, wParam, lParam);
}

BOOL CWnd::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
  assert(hwnd_ != nullptr);
  return ::PostMessageA(hwnd_, message, wParam, lParam);
}

CCountedString CWnd::GetText() const {
  CCountedString text;
  const int length = ::GetWindowTextLengthA(hwnd_);
  if (length <= 0) return text;
  char* buffer = text.GetBuffer(static_cast<size_t>(length));
  const int copied = ::GetWindowTextA(hwnd_, buffer, length + 1);
  text.ReleaseBuffer(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

void CWnd::SetText(const char* text) const { ::SetWindowTextA(hwnd_, text); }

RECT CWnd::GetClientRect() const {
  RECT rect = {0, 0, 0, 0};
  ::GetClientRect(hwnd_, &rect);
  return rect;
}

RECT CWnd::GetWindowRect() const {
  RECT rect = {0, 0, 0, 0};
  ::GetWindowRect(hwnd_, &rect);
  return rect;
}

void CWnd::Move(const RECT& rect, bool repaint) const {
  ::MoveWindow(hwnd_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               repaint ? TRUE : FALSE);
}

bool CWnd::Destroy() { return hwnd_ != nullptr && ::DestroyWindow(hwnd_) != FALSE; }

bool CWnd::PreTranslateMessage(MSG*) { return false; }
bool CWnd::OnMessage(UINT, WPARAM, LPARAM, LRESULT*) { return false; }
bool CWnd::OnCommand(WORD, WORD, HWND, LRESULT*) { return false; }
bool CWnd::OnNotify(NMHDR*, LRESULT*) { return false; }
bool CWnd::OnReflectedNotify(NMHDR*, LRESULT*) { return false; }
bool CWnd::OnReflectedCommand(WORD, LRESULT*) { return false; }
void CWnd::DrawItem(DRAWITEMSTRUCT*) {}

LRESULT CWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (original_ == nullptr) return 0;
  return ::CallWindowProcA(original_, hwnd_, message, wParam, lParam);
}

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
      if (header == nullptr) return false;
      CWnd* source = FromHandle(header->hwndFrom);
      if (source != nullptr && source != this && source->OnReflectedNotify(header, result)) {
        return true;
      }
      return OnNotify(header, result);
    }
    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (control != nullptr) {
        CWnd* source = FromHandle(control);
        if (source != nullptr && source != this &&
            source->OnReflectedCommand(HIWORD(wParam), result)) {
          return true;
        }
      }
      return OnCommand(LOWORD(wParam), HIWORD(wParam), control, result);
    }
    case WM_DRAWITEM: {
      DRAWITEMSTRUCT* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      CWnd* source =
          (item != nullptr && item->CtlType != ODT_MENU) ? FromHandle(item->hwndItem) : nullptr;
      if (source != nullptr && source != this) {
        source->DrawItem(item);
        *result = TRUE;
        return true;
      }
      return OnMessage(message, wParam, lParam, result);
    }
    default:
      return OnMessage(message, wParam, lParam, result);
  }
}

CWnd* CWnd::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  const LONG_PTR procedure = ::GetWindowLongPtrA(window, GWLP_WNDPROC);
  if (procedure == reinterpret_cast<LONG_PTR>(&CWnd::StaticWndProc)) return ObjectOf(window);
  if (procedure == 0) return nullptr;            // another process's window, or none
  constexpr ULONG_PTR kDialogClassAtom = 32770;  // "#32770"
  if (::GetClassLongPtrA(window, GCW_ATOM) == kDialogClassAtom &&
      ::GetWindowLongPtrA(window, DWLP_DLGPROC) ==
          reinterpret_cast<LONG_PTR>(&CDialog::StaticDialogProc)) {
    return ObjectOf(window);
  }
  return nullptr;
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* self = ObjectOf(window);
  if (self == nullptr || self->hwnd_ != window) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  const WNDPROC original = self->original_;
  LRESULT result = 0;
  bool handled = false;
  if (!RunGuarded("a window message handler",
                  [&] { handled = self->Dispatch(message, wParam, lParam, &result); })) {
    handled = false;
  }
  if (message == WM_NCDESTROY) {
    // The window ends: the original procedure gets the last word, the object lets go.
    result = ::CallWindowProcA(original, window, message, wParam, lParam);
    if (self->hwnd_ == window) self->UnsubclassWindow();
    RunGuarded("OnFinalMessage", [&] { self->OnFinalMessage(); });
    return result;
  }
  if (!handled) result = ::CallWindowProcA(original, window, message, wParam, lParam);
  return result;
}

}  // namespace kestova
