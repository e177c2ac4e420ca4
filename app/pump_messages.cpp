#include "app/window_helpers.h"
#include "ui/application.h"

namespace kestova {

bool PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
    const BOOL taken = GetMessageA(&message, nullptr, 0, 0);
    if (taken == 0) return false;  // the quit message
    if (taken < 0) break;
    RouteMessage(&message);
  }
  return true;
}

}  // namespace kestova
