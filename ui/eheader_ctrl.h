// EHeaderCtrl: the sortable list's header (subclassed by EListCtrl when it is attached):
// painted with vertical gradients, a pressed look for the item under a left-button press
// (HDS_BUTTONS headers only, and not within 8 pixels of an item's edge), and an optional
// popup menu that shows and hides columns (off at construction).
#pragma once

#include "ui/header_ctrl.h"

namespace kestova {

// Header item divider line colour, RGB(127, 157, 185).
constexpr COLORREF kHeaderLineColour = RGB(127, 157, 185);
// A press this close to an item's left or right edge gives no pressed look.
constexpr int kPressEdgeMargin = 8;

// Fills `rect` one pixel row at a time from `top` to `bottom` colour (each channel
// top + i * (bottom - top) / height, truncated), then its bottom row with `line` and,
// when `rightLine` is set, its rightmost column as well.
void FillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom, COLORREF line,
                  bool rightLine);

class EHeaderCtrl : public CHeaderCtrl {
 public:
  void EnableColumnMenu(bool enable) { columnMenu_ = enable ? 1 : 0; }
  bool IsColumnMenuEnabled() const { return columnMenu_ != 0; }
  int GetPressedItem() const { return pressedItem_; }

  // What choosing column `column` in the column menu does: toggles its width
  // (column_menu_rules.h); a column just hidden moves to the front of the display
  // order; the list is invalidated.
  void ToggleColumn(int column);

 protected:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  bool OnReflectedNotify(NMHDR* header, LRESULT* result) override;

 private:
  void Paint();
  void OnLeftButtonDown(POINT point);
  void ShowColumnMenu();

  int columnMenu_ = 0;
  int pressedItem_ = -1;
};

}  // namespace kestova
