// CTabCtrl: one tab message per operation.
#include "ui/tab_ctrl.h"

namespace kestova {

int CTabCtrl::InsertItem(int index, const char* text) const {
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text);
  return static_cast<int>(Send(TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item)));
}

bool CTabCtrl::GetItem(int index, TCITEMA* item) const {
  return Send(TCM_GETITEMA, index, reinterpret_cast<LPARAM>(item)) != 0;
}

bool CTabCtrl::SetItem(int index, TCITEMA* item) const {
  return Send(TCM_SETITEMA, index, reinterpret_cast<LPARAM>(item)) != 0;
}

void CTabCtrl::AdjustRect(bool larger, RECT* rect) const {
  Send(TCM_ADJUSTRECT, larger ? TRUE : FALSE, reinterpret_cast<LPARAM>(rect));
}

}  // namespace kestova
