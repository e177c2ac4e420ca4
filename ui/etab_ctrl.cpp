// ETabCtrl: pages as tab parameters, and a background erase that spares the pages.
#include "ui/etab_ctrl.h"

#include "ui/default_page.h"

namespace kestova {

LRESULT ETabCtrl::SetItemPage(int index, CDefaultPage* page) const {
  TCITEMA item = {};
  item.mask = TCIF_PARAM;
  item.lParam = reinterpret_cast<LPARAM>(page);
  return Send(TCM_SETITEMA, index, reinterpret_cast<LPARAM>(&item));
}

CDefaultPage* ETabCtrl::GetItemPage(int index) const {
  TCITEMA item = {};
  item.mask = TCIF_PARAM;
  if (!GetItem(index, &item)) return nullptr;
  return reinterpret_cast<CDefaultPage*>(item.lParam);
}

LRESULT ETabCtrl::EraseBackground(HDC dc) {
  for (HWND child = ::GetWindow(GetSafeHwnd(), GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindow(child) || !::IsWindowVisible(child)) continue;
    RECT rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
    ::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  }
  return DefaultProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
}

bool ETabCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
  if (message != WM_ERASEBKGND) return false;
  *result = EraseBackground(reinterpret_cast<HDC>(wParam));
  return true;
}

}  // namespace kestova
