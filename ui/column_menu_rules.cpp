// The header's column menu: moving a hidden column to the front of the display order.
#include "ui/column_menu_rules.h"

namespace kestova {

bool MoveColumnToFront(int* order, int count, int column) {
  for (int position = 0; position < count; ++position) {
    if (order[position] != column) continue;
    for (int at = position; at > 0; --at) order[at] = order[at - 1];
    order[0] = column;
    return true;
  }
  return false;
}

}  // namespace kestova
