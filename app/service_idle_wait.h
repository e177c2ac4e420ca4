// CServiceIdleWait: the user-interface thread's wait for the FTP service to end.
//
// It is the service's idle observer (CFtpService::SetIdleObserver): the thread that
// ends last sets its event. WaitPumping sleeps in MsgWaitForMultipleObjects on that event
// and on the thread's message queue, dispatching messages as they come (the sessions'
// last reports among them), until the service is idle; nothing polls. No session waits
// on the window, so the wait needs the messages only to show what they report.
#pragma once

#include "ftp/ftp_service.h"
#include "ui/win.h"

namespace kestova {

class CServiceIdleWait : public IFtpIdleObserver {
 public:
  CServiceIdleWait();
  ~CServiceIdleWait() override;
  CServiceIdleWait(const CServiceIdleWait&) = delete;
  CServiceIdleWait& operator=(const CServiceIdleWait&) = delete;

  // Any thread.
  void OnServiceIdle() override;
  // Returns once `service` is idle. A quit message taken meanwhile is posted again
  // after the wait (the rest of the wait then dispatches nothing).
  void WaitPumping(const CFtpService& service);

 private:
  HANDLE idle_;  // manual reset
};

}  // namespace kestova
