#include "app/window_helpers.h"

namespace kestova {

int MoveEdges(HWND parent, HWND child, int leftDelta, int topDelta, int rightDelta,
              int bottomDelta) {
  if (!IsWindow(parent) || !IsWindow(child)) return 0;
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  rect.left -= leftDelta;
  rect.top -= topDelta;
  rect.right += rightDelta;
  rect.bottom += bottomDelta;
  return MoveWindow(child, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                    FALSE);
}

}  // namespace kestova
