#include "ftp/dubbing_session.h"

#include "ftp/dubbing_documents.h"
#include "ftp/dubbing_transfers.h"

namespace kestova {

// The session's connections as the dubbing transfers see them.
class CDubbingSession::CLink : public IDubbingLink {
 public:
  explicit CLink(CDubbingSession& session) : session_(session) {}

  void Reply(FtpReply reply) override { session_.Reply(reply); }
  bool OpenDataConnection() override { return session_.OpenDataConnection(); }
  void CloseDataConnection() override { session_.CloseDataConnection(); }
  void SetDataTimeout(int32_t timeoutMs) override {
    session_.dataConnection_.SetTimeout(timeoutMs);
  }
  bool SendData(const void* bytes, uint32_t length) override {
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
      uint32_t sent = 0;
      if (!session_.dataConnection_.Send(next, length, &sent) || sent == 0) return false;
      next += sent;
      length -= sent;
    }
    return true;
  }
  bool ReceiveData(void* buffer, uint32_t capacity, uint32_t* received) override {
    return session_.dataConnection_.ReceiveFrom(buffer, capacity, received);
  }
  bool DataClosedByPeer() const override {
    return session_.dataConnection_.LastReceiveEndedInOrder();
  }
  SystemError DataFailure() const override { return session_.dataConnection_.LastError(); }
  PumpResult ReceiveDataToFile(CFile& file, uint32_t* received) override {
    return pump_.Move(session_.dataConnection_, file, received);
  }
  void ResetLoginState() override { session_.loginState_ = kLoggedIn; }
  bool StopRequested() const override { return session_.StopRequested(); }

 private:
  CDubbingSession& session_;
  CSocketToFile pump_;  // one per transfer: a link is made for each
};

CDubbingSession::CDubbingSession() : statusDocument_(BuildStatusDocument()) {
  ReserveExactName(kVirtualStatusFile);
  ReserveExactName(kVirtualDubbingInfoFile);
  ReserveExactName(kVirtualProgrammeFile);
}

CDubbingSession::~CDubbingSession() = default;

void CDubbingSession::SendGreeting() { Reply(FtpReply::kDubbingGreeting); }

void CDubbingSession::OnRetr(const FtpRequest& request) {
  if (request.argument == kVirtualStatusFile) {
    TakeRestartOffset();  // a restart offset means nothing to a virtual file
    SendStatusDocument();
    return;
  }
  CFtpSession::OnRetr(request);
}

void CDubbingSession::OnStor(const FtpRequest& request) {
  if (request.argument == kVirtualDubbingInfoFile) {
    TakeRestartOffset();
    ReceiveDubbingInfo();
    return;
  }
  if (request.argument == kVirtualProgrammeFile) {
    TakeRestartOffset();
    ReceiveProgramme();
    return;
  }
  CFtpSession::OnStor(request);
}

void CDubbingSession::SendStatusDocument() {
  CLink link(*this);
  kestova::SendStatusDocument(link, statusDocument_, timeouts_);
}

void CDubbingSession::ReceiveDubbingInfo() {
  CLink link(*this);
  kestova::ReceiveDubbingInfo(link, &titleSize_, timeouts_);
}

void CDubbingSession::ReceiveProgramme() {
  CLink link(*this);
  ProgrammeReceptionSetup setup;
  setup.rootFolder = rootFolder_;
  setup.titleSize = titleSize_;
  setup.observer = receptionObserver_;
  setup.timeouts = timeouts_;
  lastReception_ = kestova::ReceiveProgramme(link, setup);
}

CFtpSession* CDubbingSessionFactory::CreateSession() {
  CDubbingSession* session = new CDubbingSession();
  session->SetReceptionObserver(observer_);
  return session;
}

}  // namespace kestova
