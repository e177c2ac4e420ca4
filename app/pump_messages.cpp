#include "app/window_helpers.h"
#include "ui/application.h"

namespace kestova {

bool PumpMessages() {
  MSG message;
  // Only what is already queued: never waits for a message that may not come.
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    RouteMessage(&message);
  }
  return true;
}

}  // namespace kestova
