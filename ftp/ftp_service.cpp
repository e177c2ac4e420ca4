// The service state and the listener thread.
#include "ftp/ftp_service.h"

#include "ftp/ftp_session.h"
#include "ftp/served_path.h"
#include "net/event_socket.h"
#include "platform/time.h"

namespace kestova {
namespace {

constexpr int32_t kListenTimeoutMs = 10000;
// Room for many clients connecting at once: with a backlog of 5, fifty simultaneous
// connects leave some waiting on the kernel's SYN-ACK retries for half a minute.
// (Windows workstation systems clamp the backlog to 5 anyway.)
constexpr int kListenBacklog = 64;
constexpr int32_t kAcceptWaitMs = 1000;
// An accept that fails at once (say, out of descriptors) is retried after this pause
// rather than in a busy loop.
constexpr uint32_t kAcceptRetryPauseMs = 50;
constexpr int32_t kRefusalSendMs = 100;

}  // namespace

// What one listener thread is started with.
struct ListenerStart {
  CFtpService* service;
  IpAddress address;
};

namespace {

// The reply to a connection over a cap; sent without waiting on a client that does not
// read, then the connection is closed.
void RefuseConnection(CEventSocket& connection, CSessionAdmission::Verdict verdict) {
  CCountedString line =
      FtpReplyLine(verdict == CSessionAdmission::kTooManyFromAddress ? FtpReply::kTooManyFromAddress
                                                                     : FtpReply::kTooManyInAll);
  line.Append("\r\n");
  connection.Send(line.CStr(), static_cast<uint32_t>(line.Length()), nullptr, kRefusalSendMs);
  connection.Close();
}

// A connection that waits while the process has no descriptor left: the one held in
// reserve is given up to accept it, so that it hears why it is closed rather than hanging
// on in the backlog; then the reserve is taken again. True when it could be answered.
bool AnswerWithoutDescriptors(CEventSocket& listener, CEventSocket& reserve) {
  reserve.Close();
  CEventSocket doomed;
  const bool accepted = listener.Accept(doomed, nullptr, nullptr, 0);
  if (accepted) {
    CCountedString line = FtpReplyLine(FtpReply::kOutOfResources);
    line.Append("\r\n");
    doomed.Send(line.CStr(), static_cast<uint32_t>(line.Length()), nullptr, kRefusalSendMs);
    doomed.Close();
  }
  reserve.Create(CEventSocket::kDatagram, 0, kRefusalSendMs);
  return accepted;
}

}  // namespace

CFtpService::CFtpService() : servedFolder_("\\") {}

CFtpService::~CFtpService() {
  RequestStop();
  while (!IsIdle()) SleepMs(10);
}

void CFtpService::SetSessionLimits(const FtpSessionLimits& limits) {
  admission_.SetLimits(limits);
  idleTimeoutMs_ = limits.idleTimeoutMs;
  loginTimeoutMs_ = limits.loginTimeoutMs;
}

void CFtpService::SetServedFolder(const CCountedString& folder) {
  const CCountedString stored = WithTrailingSeparator(folder);
  CLockHolder holder(servedFolderLock_);
  servedFolder_ = stored;
}

CCountedString CFtpService::ServedFolder() {
  CLockHolder holder(servedFolderLock_);
  // A real copy, so the reader's string shares no buffer with the writer's.
  return CCountedString(servedFolder_.CStr(), servedFolder_.Length());
}

bool CFtpService::StartListener() {
  listenerState_.store(kStarting);
  listeningPort_.store(0);
  std::vector<IpAddress> addresses = listenAddresses_;
  if (addresses.empty()) addresses.push_back(IpAddress::AnyAddress());
  for (const IpAddress& address : addresses) {
    ListenerStart* start = new ListenerStart{this, address};
    runningListenerCount_.fetch_add(1);
    if (!StartDetachedThread(FtpListenerThread, start)) {
      delete start;
      runningListenerCount_.fetch_sub(1);
      listenerState_.store(kFailed);
      return false;
    }
  }
  return true;
}

void CFtpService::SessionEnded() { CountDown(sessionCount_); }

void CFtpService::CountDown(std::atomic<int32_t>& count) {
  // The observer is read before the count drops: once the service is idle its owner may
  // destroy it, and the observer (which the owner keeps longer) is all that is touched.
  IFtpIdleObserver* observer = idleObserver_;
  count.fetch_sub(1);
  if (observer != nullptr && IsIdle()) observer->OnServiceIdle();
}

bool CFtpService::ResetStopFlag() {
  if (!IsIdle()) return false;
  stopFlag_.store(0);
  return true;
}

bool CFtpService::WaitUntilIdle(uint32_t timeoutMs) {
  const uint32_t start = TickCountMs();
  while (!IsIdle()) {
    if (TickCountMs() - start >= timeoutMs) return false;
    SleepMs(10);
  }
  return true;
}

SystemError CFtpService::ListenerFailure() const {
  CLockHolder holder(listenerFailureLock_);
  // A real copy, so the reader's text shares no buffer with the listener's.
  SystemError copy;
  copy.code = listenerFailure_.code;
  copy.text = CCountedString(listenerFailure_.text.CStr(), listenerFailure_.text.Length());
  return copy;
}

CFtpSession* CFtpService::CreateSession() {
  return sessionFactory_ != nullptr ? sessionFactory_->CreateSession() : new CFtpSession();
}

void FtpListenerThread(void* argument) {
  const ListenerStart start = *static_cast<ListenerStart*>(argument);
  delete static_cast<ListenerStart*>(argument);
  CFtpService& service = *start.service;
  CEventSocket listener;
  // A port that cannot be bound or listened on is one failure to the front end. The port
  // is bound exclusively: while another FTP server holds it, this one does not start.
  if (!listener.CreateStream(start.address, service.listenPort_, kListenTimeoutMs,
                             CEventSocket::kExclusiveAddress) ||
      !listener.Listen(kListenBacklog)) {
    const SystemError reason = listener.LastError();
    {
      CLockHolder holder(service.listenerFailureLock_);
      if (!service.listenerFailure_.IsSet()) {
        service.listenerFailure_.code = reason.code;
        service.listenerFailure_.text = CCountedString(reason.text.CStr(), reason.text.Length());
      }
    }
    service.listenerState_.store(CFtpService::kFailed);
    if (service.observer_.startFailed != nullptr) {
      service.observer_.startFailed(service.observer_.context, service.listenPort_, reason);
    }
  } else {
    uint16_t port = 0;
    listener.GetLocalIpAddress(nullptr, &port);
    int32_t noPortYet = 0;
    service.listeningPort_.compare_exchange_strong(noPortYet, port);
    int32_t starting = CFtpService::kStarting;
    service.listenerState_.compare_exchange_strong(starting, CFtpService::kListening);
    if (service.observer_.listening != nullptr) {
      service.observer_.listening(service.observer_.context, port);
    }

    CEventSocket reserve;
    reserve.Create(CEventSocket::kDatagram, 0, kRefusalSendMs);
    uint32_t failures = 0;
    uint32_t lastReportTick = TickCountMs() - CFtpService::kAcceptFailureReportMs;
    while (!service.StopRequested()) {
      CEventSocket accepted;
      IpAddress peerAddress;
      const uint32_t waitStart = TickCountMs();
      if (!listener.AcceptPeer(accepted, &peerAddress, nullptr, kAcceptWaitMs)) {
        // A connection was waiting but could not be taken.
        if (TickCountMs() - waitStart < kAcceptWaitMs / 2) {
          const bool answered = AnswerWithoutDescriptors(listener, reserve);
          ++failures;
          if (TickCountMs() - lastReportTick >= CFtpService::kAcceptFailureReportMs &&
              service.observer_.acceptFailed != nullptr) {
            service.observer_.acceptFailed(service.observer_.context, answered, failures);
            lastReportTick = TickCountMs();
            failures = 0;
          }
          SleepMs(kAcceptRetryPauseMs);
        }
        continue;
      }
      CAdmissionPlace* place = nullptr;
      const CSessionAdmission::Verdict verdict = service.admission_.TryAdmit(peerAddress, &place);
      if (verdict != CSessionAdmission::kAdmitted) {
        RefuseConnection(accepted, verdict);
        continue;
      }
      CFtpSession* session = service.CreateSession();
      session->Bind(&service.stopFlag_, &service, service.ServedFolder(),
                    service.activeSourcePort_);
      session->BindAdmission(&service.admission_, place, service.idleTimeoutMs_,
                             service.loginTimeoutMs_);
      session->SetAccessRules(service.access_, service.passivePorts_);
      session->SetActivityObserver(service.activityObserver_);
      session->ControlConnection().Attach(accepted.Detach());
      service.sessionCount_.fetch_add(1);
      if (!StartDetachedThread(FtpSessionThread, session)) {
        delete session;  // closes the connection
        service.admission_.Release(place);
        service.SessionEnded();
      }
    }
    reserve.Close();
    service.listenerState_.store(CFtpService::kEnded);
  }
  listener.Close();
  // Last: once the count is 0 the front end may destroy the service.
  service.CountDown(service.runningListenerCount_);
}

}  // namespace kestova
