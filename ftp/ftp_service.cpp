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

CFtpSession* CreatePlainSession(void*) { return new CFtpSession(); }

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

}  // namespace

CFtpService::CFtpService() : servedFolder_("\\"), sessionFactory_(CreatePlainSession) {}

CFtpService::~CFtpService() {
  RequestStop();
  while (!IsIdle()) SleepMs(10);
}

void CFtpService::SetSessionFactory(FtpSessionFactory factory, void* context) {
  sessionFactory_ = factory != nullptr ? factory : CreatePlainSession;
  sessionFactoryContext_ = context;
}

void CFtpService::SetSessionLimits(const FtpSessionLimits& limits) {
  admission_.SetLimits(limits);
  idleTimeoutMs_ = limits.idleTimeoutMs;
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
  runningListenerCount_.fetch_add(1);
  if (!StartDetachedThread(FtpListenerThread, this)) {
    runningListenerCount_.fetch_sub(1);
    listenerState_.store(kFailed);
    return false;
  }
  return true;
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

CFtpSession* CFtpService::CreateSession() { return sessionFactory_(sessionFactoryContext_); }

void FtpListenerThread(void* argument) {
  CFtpService& service = *static_cast<CFtpService*>(argument);
  CEventSocket listener;
  // A port that cannot be bound or listened on is one failure to the front end. The port
  // is bound exclusively: while another FTP server holds it, this one does not start.
  if (!listener.Create(CEventSocket::kStream, service.listenPort_, kListenTimeoutMs,
                       CEventSocket::kExclusiveAddress) ||
      !listener.Listen(kListenBacklog)) {
    service.listenerFailure_ = listener.LastError();
    service.listenerState_.store(CFtpService::kFailed);
    if (service.observer_.startFailed != nullptr) {
      service.observer_.startFailed(service.observer_.context, service.listenPort_);
    }
  } else {
    uint32_t address = 0;
    uint16_t port = 0;
    listener.GetLocalAddress(&address, &port);
    service.listeningPort_.store(port);
    service.listenerState_.store(CFtpService::kListening);
    if (service.observer_.listening != nullptr) {
      service.observer_.listening(service.observer_.context, port);
    }

    while (!service.StopRequested()) {
      CEventSocket accepted;
      uint32_t peerAddress = 0;
      const uint32_t waitStart = TickCountMs();
      if (!listener.Accept(accepted, &peerAddress, nullptr, kAcceptWaitMs)) {
        if (TickCountMs() - waitStart < kAcceptWaitMs / 2) SleepMs(kAcceptRetryPauseMs);
        continue;
      }
      const CSessionAdmission::Verdict verdict = service.admission_.TryAdmit(peerAddress);
      if (verdict != CSessionAdmission::kAdmitted) {
        RefuseConnection(accepted, verdict);
        continue;
      }
      CFtpSession* session = service.CreateSession();
      session->Bind(&service.stopFlag_, &service.sessionCount_, service.ServedFolder(),
                    service.activeSourcePort_);
      session->BindAdmission(&service.admission_, peerAddress, service.idleTimeoutMs_);
      session->SetActivityObserver(service.activityObserver_);
      session->ControlConnection().Attach(accepted.Detach());
      service.sessionCount_.fetch_add(1);
      if (!StartDetachedThread(FtpSessionThread, session)) {
        delete session;  // closes the connection
        service.admission_.Release(peerAddress);
        service.sessionCount_.fetch_sub(1);
      }
    }
    service.listenerState_.store(CFtpService::kEnded);
  }
  listener.Close();
  // Last: once the count is 0 the front end may destroy the service.
  service.runningListenerCount_.fetch_sub(1);
}

}  // namespace kestova
