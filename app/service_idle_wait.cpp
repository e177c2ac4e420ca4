#include "app/service_idle_wait.h"

#include "app/window_helpers.h"

namespace kestova {

CServiceIdleWait::CServiceIdleWait() : idle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CServiceIdleWait::~CServiceIdleWait() {
  if (idle_ != nullptr) CloseHandle(idle_);
}

void CServiceIdleWait::OnServiceIdle() {
  if (idle_ != nullptr) SetEvent(idle_);
}

void CServiceIdleWait::WaitPumping(const CFtpService& service) {
  bool quitTaken = false;
  for (;;) {
    // Reset before the test: an end after the test sets the event again.
    if (idle_ != nullptr) ResetEvent(idle_);
    if (service.IsIdle()) break;
    if (idle_ == nullptr) {
      Sleep(10);  // no event could be made: the one case that polls
    } else if (quitTaken) {
      WaitForSingleObject(idle_, INFINITE);
    } else {
      MsgWaitForMultipleObjects(1, &idle_, FALSE, INFINITE, QS_ALLINPUT);
    }
    if (!quitTaken && !PumpMessages()) quitTaken = true;
  }
  if (quitTaken) PostQuitMessage(0);
}

}  // namespace kestova
