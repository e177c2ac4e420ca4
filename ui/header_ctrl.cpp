// CHeaderCtrl: one header message per operation.
#include "ui/header_ctrl.h"

namespace kestova {

bool CHeaderCtrl::GetItem(int index, HDITEMA* item) const {
  return Send(HDM_GETITEMA, index, reinterpret_cast<LPARAM>(item)) != 0;
}

bool CHeaderCtrl::GetItemRect(int index, RECT* rect) const {
  return Send(HDM_GETITEMRECT, index, reinterpret_cast<LPARAM>(rect)) != 0;
}

}  // namespace kestova
