// CDefaultPage: themed page background, relative resizing, showing and hiding.
#include "ui/default_page.h"

namespace kestova {
namespace {

constexpr DWORD kEnableTabTexture = 6;  // ETDT_ENABLE | ETDT_USETABTEXTURE

}  // namespace

CDefaultPage::CDefaultPage(UINT templateId, HWND parent, const char* themeLibrary)
    : CDialog(templateId, parent), theme_(themeLibrary) {}

void CDefaultPage::ResizeBy(int, int) {}

void CDefaultPage::ShowPage(int flag) {
  if (GetSafeHwnd() != nullptr) Show(flag == 1 ? SW_SHOW : SW_HIDE);
}

BOOL CDefaultPage::OnInitDialog() {
  CDialog::OnInitDialog();
  theme_.EnableThemeDialogTexture(GetSafeHwnd(), kEnableTabTexture);
  reference_ = GetClientRect();
  return TRUE;
}

void CDefaultPage::OnSize(UINT type, int width, int height) {
  if (type == SIZE_MINIMIZED) return;
  if (GetSafeHwnd() == nullptr) return;
  if (reference_.right - reference_.left == 0 && reference_.bottom - reference_.top == 0) return;
  const int widthChange = width - (reference_.right - reference_.left);
  const int heightChange = height - (reference_.bottom - reference_.top);
  reference_ = GetClientRect();
  ResizeBy(widthChange, heightChange);
}

bool CDefaultPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_SIZE) {
    // The dialog manager's default for WM_SIZE does nothing a page relies on, so the
    // page's own handling may come first.
    OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
           static_cast<short>(HIWORD(lParam)));
    *result = 0;
    return false;
  }
  return CDialog::OnMessage(message, wParam, lParam, result);
}

}  // namespace kestova
