// CHeaderCtrl: thin wrapper of a header control (SysHeader32), ANSI messages.
#pragma once

#include "ui/window.h"

namespace kestova {

class CHeaderCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(Send(HDM_GETITEMCOUNT)); }
  bool GetItem(int index, HDITEMA* item) const;
  bool GetItemRect(int index, RECT* rect) const;
};

}  // namespace kestova
