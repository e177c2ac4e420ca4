// CTabCtrl: thin wrapper of a tab control (SysTabControl32), ANSI messages.
#pragma once

#include "ui/window.h"

namespace kestova {

class CTabCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(Send(TCM_GETITEMCOUNT)); }
  // A tab with `text` at `index`; the new tab's index or -1.
  int InsertItem(int index, const char* text) const;
  bool GetItem(int index, TCITEMA* item) const;
  bool SetItem(int index, TCITEMA* item) const;
  int GetCurSel() const { return static_cast<int>(Send(TCM_GETCURSEL)); }
  int SetCurSel(int index) const { return static_cast<int>(Send(TCM_SETCURSEL, index)); }
  // Display rectangle from a window rectangle (larger = false) or back (true).
  void AdjustRect(bool larger, RECT* rect) const;
};

}  // namespace kestova
