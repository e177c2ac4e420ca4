// Thin wrappers of the plain dialog controls: edit, button and static text.
// Texts go through CWnd::GetText / SetText.
#pragma once

#include "ui/window.h"

namespace kestova {

class CEdit : public CWnd {
 public:
  // Selects bytes [start, end) of the text; (0, -1) selects all.
  void SetSel(int start, int end) const { Send(EM_SETSEL, start, end); }
  void ScrollCaret() const { Send(EM_SCROLLCARET); }
  void SetLimitText(int bytes) const { Send(EM_LIMITTEXT, bytes); }
};

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(Send(BM_GETCHECK)); }
  void SetCheck(int state) const { Send(BM_SETCHECK, state); }
};

class CStatic : public CWnd {};

}  // namespace kestova
