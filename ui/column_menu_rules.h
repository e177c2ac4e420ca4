// The header's column menu (EHeaderCtrl): what choosing a column does. Portable.
#pragma once

namespace kestova {

// Width a column gets when chosen in the menu: a hidden column (width 0) comes back
// with 50 pixels; a shown one is hidden (0).
constexpr int kShownColumnWidth = 50;
inline int ToggledColumnWidth(int width) { return width == 0 ? kShownColumnWidth : 0; }

// A column just hidden goes to the front of the display order: the columns before it
// shift one place right. `order` holds `count` column indexes; nothing changes when
// `column` is not among them. Returns whether it was found.
bool MoveColumnToFront(int* order, int count, int column);

}  // namespace kestova
