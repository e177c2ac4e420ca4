// CReceptionWatch: what follows the receptions besides the receive list — the status
// page's board and the completion hook. It observes the receptions' typed events
// (ftp/reception_events.h) on their session threads and keeps each reception as a
// BoardRecord.
#pragma once

#include <memory>
#include <string>

#include "ftp/reception_events.h"
#include "linux/completion_hook.h"
#include "linux/status/reception_board.h"
#include "linux/status/service_status.h"
#include "linux/status/status_server.h"

namespace kestova {

// The board's record of a reception event (figures only when the event has them).
BoardRecord RecordOfEvent(const ReceptionEvent& event);

class CReceptionWatch : public IReceptionObserver {
 public:
  CReceptionWatch(const std::string& onComplete, uint32_t hookLimit)
      : hook_(onComplete, hookLimit) {}

  void OnReceptionEvent(const ReceptionEvent& event) override { OnReception(RecordOfEvent(event)); }

  // Stores the record on the board; when it has just ended, runs the hook (which returns
  // at once).
  void OnReception(const BoardRecord& record);

  // Starts the status page; false with a reason in *error.
  bool StartPage(const std::string& address, uint16_t port, const std::string& programVersion,
                 std::string* error);
  void StopPage();
  uint16_t PagePort() const { return server_ != nullptr ? server_->Port() : 0; }

  CServiceStatus& Service() { return service_; }
  const CReceptionBoard& Board() const { return board_; }
  bool HookEnabled() const { return hook_.Enabled(); }

 private:
  CReceptionBoard board_;
  CServiceStatus service_;
  CCompletionHook hook_;
  std::unique_ptr<CStatusServer> server_;
};

}  // namespace kestova
