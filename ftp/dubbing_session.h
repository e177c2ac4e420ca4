// CDubbingSession: the FTP session every accepted connection gets. It behaves as
// CFtpSession except for its greeting and three virtual files:
//
//   RETR "$xml$status.xml"                      the status document (ready to dub)
//   STOR/APPE "$netdubbing$dubbinginfo.xml"     keeps the announced title size
//   STOR/APPE "$netdubbing$dev0.dat"            receives a programme into TITLE.MPG
//
// The names are compared byte for byte and case-sensitively; any other name (with a
// leading slash, in capitals, in a folder) is an ordinary file for the base handlers.
#pragma once

#include <cstdint>

#include "base/counted_string.h"
#include "ftp/dubbing_link.h"
#include "ftp/ftp_session.h"
#include "ftp/programme_reception.h"
#include "ftp/reception_events.h"
#include "ftp/status_callback.h"

namespace kestova {

class CDubbingSession : public CFtpSession {
 public:
  CDubbingSession();
  ~CDubbingSession() override;

  // Stores the callback that receives reception progress and its context. Called
  // once, before the session thread starts. Both may be empty (no reports).
  void SetStatusCallback(StatusCallback callback, void* context);
  // Stores the observer of this session's receptions (may be null). Called once, before
  // the session thread starts.
  void SetReceptionObserver(IReceptionObserver* observer) { receptionObserver_ = observer; }
  // Shortens the transfer time limits (tests).
  void SetTimeouts(const DubbingTimeouts& timeouts) { timeouts_ = timeouts; }

  const CCountedString& StatusDocument() const { return statusDocument_; }
  // Title size of the last dubbing information document, units of 2048 bytes.
  uint64_t TitleSize() const { return titleSize_; }
  // Outcome of the last programme reception on this session.
  const ProgrammeReceptionResult& LastReception() const { return lastReception_; }

  // FtpReply::kDubbingGreeting
  void SendGreeting() override;
  void OnRetr(const FtpRequest& request) override;
  // STOR and APPE.
  void OnStor(const FtpRequest& request) override;

  void SendStatusDocument();
  void ReceiveDubbingInfo();
  void ReceiveProgramme();

 private:
  class CLink;

  CCountedString statusDocument_;
  uint64_t titleSize_ = 0;
  StatusCallback statusCallback_ = nullptr;
  void* statusCallbackContext_ = nullptr;
  IReceptionObserver* receptionObserver_ = nullptr;
  DubbingTimeouts timeouts_;
  ProgrammeReceptionResult lastReception_;
};

// Where the sessions made by CreateDubbingSession report their receptions: the status
// callback (through a CStatusCallbackAdapter per reception), the observer of the typed
// events (a CReceptionObservers for several), or both. Each may be empty.
struct DubbingStatusSink {
  StatusCallback callback = nullptr;
  void* context = nullptr;
  IReceptionObserver* observer = nullptr;
};

// Session factory for CFtpService::SetSessionFactory: a new CDubbingSession whose
// status callback and context come from `sink` (a DubbingStatusSink*, may be null;
// it must outlive the service's listener).
CFtpSession* CreateDubbingSession(void* sink);

}  // namespace kestova
