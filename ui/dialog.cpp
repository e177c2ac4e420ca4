// CDialog: creation from a template, the modal loop and the dialog procedure.
#include "ui/dialog.h"

#include "ui/application.h"
#include "ui/handler_guard.h"

namespace kestova {
namespace {

// Messages whose dialog-procedure result is the value itself, not DWLP_MSGRESULT.
bool ReturnsValueDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
  HWND window = GetSafeHwnd();
  if (window != nullptr) {
    // The object ends before its window: the window must not reach it any more.
    DetachDialog();
    ::DestroyWindow(window);
  }
}

bool CDialog::Create(HWND parent) {
  if (GetSafeHwnd() != nullptr) return false;
  modal_ = false;
  ended_ = false;
  HWND window = ::CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_),
                                     parent != nullptr ? parent : parent_,
                                     &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

INT_PTR CDialog::DoModal(HWND owner) {
  if (GetSafeHwnd() != nullptr) return -1;
  if (owner == nullptr) owner = parent_;
  modal_ = true;
  ended_ = false;
  result_ = -1;
  HWND window = ::CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner,
                                     &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) {
    modal_ = false;
    return -1;
  }
  const bool ownerWasEnabled = owner != nullptr && ::IsWindowEnabled(owner);
  if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
  if (!ended_) ::ShowWindow(window, SW_SHOW);
  MSG message;
  while (!ended_ && ::IsWindow(window)) {
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
      break;
    }
    RouteMessage(&message);
  }
  // The owner is enabled before the dialog goes, so that it gets the activation back.
  if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
  if (::IsWindow(window)) {
    ::ShowWindow(window, SW_HIDE);
    ::DestroyWindow(window);
  }
  modal_ = false;
  return result_;
}

void CDialog::EndDialog(INT_PTR result) {
  if (modal_) {
    result_ = result;
    ended_ = true;
    ::PostMessageA(GetSafeHwnd(), WM_NULL, 0, 0);  // wakes the modal loop
    return;
  }
  Destroy();
}

BOOL CDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

bool CDialog::BindControl(int id, CWnd& control) {
  HWND item = GetItemHwnd(id);
  return item != nullptr && control.SubclassWindow(item);
}

bool CDialog::OnCommand(WORD id, WORD, HWND, LRESULT* result) {
  *result = 0;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    if (self == nullptr) return FALSE;
    self->AttachDialog(window);
  } else {
    self =
        static_cast<CDialog*>(reinterpret_cast<CWnd*>(::GetWindowLongPtrA(window, GWLP_USERDATA)));
    if (self == nullptr || self->GetSafeHwnd() != window) return FALSE;
  }
  LRESULT result = 0;
  bool handled = false;
  const bool returned = RunGuarded("a dialog message handler", [&] {
    if (message == WM_INITDIALOG) {
      result = self->OnInitDialog();
      handled = true;
    } else {
      handled = self->Dispatch(message, wParam, lParam, &result);
    }
  });
  if (!returned) {
    handled = message == WM_INITDIALOG;
    result = TRUE;
  }
  if (message == WM_NCDESTROY) {
    self->DetachDialog();
    RunGuarded("OnFinalMessage", [&] { self->OnFinalMessage(); });
    return FALSE;
  }
  if (!handled) return FALSE;
  if (ReturnsValueDirectly(message)) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace kestova
