// The FTP service state and its listener thread.
//
// One CFtpService is owned by the front end (the main dialog on Windows, main() on
// Linux) for the whole run. It holds the served folder, the stop flag, the running-
// listener count and the session count. The listener thread accepts control
// connections and starts one session thread per connection; every thread ends by
// polling the stop flag between time-bounded waits.
//
// Shutdown: RequestStop(), then wait until IsIdle() (WaitUntilIdle, or the front end's
// own wait woken by an IFtpIdleObserver). The stop flag is only ever cleared by ResetStopFlag(), which
// refuses while any listener or session still runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "base/counted_string.h"
#include "ftp/ordinary_client_access.h"
#include "ftp/session_admission.h"
#include "net/ip_address.h"
#include "ftp/session_activity.h"
#include "platform/system_error.h"
#include "platform/thread.h"

namespace kestova {

class CFtpSession;

// Makes the session object for each accepted connection (a CFtpSession or a class
// derived from it). Called on the listener thread only. The listener then binds the
// session to the service, hands it the connection and starts its thread; the session
// thread deletes it.
class IFtpSessionFactory {
 public:
  virtual ~IFtpSessionFactory() = default;
  virtual CFtpSession* CreateSession() = 0;
};

// Told each time the listener and the sessions have all ended (both counts 0), on the
// thread that ended last. The front end that waits for its sessions waits for this
// instead of polling; it checks IsIdle() itself, since a call may come late or twice.
class IFtpIdleObserver {
 public:
  virtual ~IFtpIdleObserver() = default;
  virtual void OnServiceIdle() = 0;
};

// How the listener tells the front end about its start. Both may be empty; both are
// called on the listener thread.
struct FtpListenerObserver {
  // The listening socket is bound to `port` (the real port when 0 was asked for).
  void (*listening)(void* context, uint16_t port) = nullptr;
  // The listening socket could not be created, bound or made to listen: the service
  // stays down. `reason` is the system's (e.g. "Address already in use").
  void (*startFailed)(void* context, uint16_t port, const SystemError& reason) = nullptr;
  // A waiting connection could not be accepted, most likely for lack of descriptors;
  // `answered`: it was accepted with the descriptor held in reserve, told 421 and closed.
  // At most once per kAcceptFailureReportMs; `failures` counts those since the last call.
  void (*acceptFailed)(void* context, bool answered, uint32_t failures) = nullptr;
  void* context = nullptr;
};

class CFtpService {
 public:
  enum ListenerState : int32_t { kNotStarted, kStarting, kListening, kFailed, kEnded };
  static constexpr uint32_t kAcceptFailureReportMs = 10000;

  CFtpService();
  // Sets the stop flag and waits until the listener and every session have ended,
  // since they use this object.
  ~CFtpService();
  CFtpService(const CFtpService&) = delete;
  CFtpService& operator=(const CFtpService&) = delete;

  // Configuration; set before StartListener.
  void SetListenPort(uint16_t port) { listenPort_ = port; }              // 21 by default, 0 = any
  void SetActiveSourcePort(uint16_t port) { activeSourcePort_ = port; }  // 20 by default
  // The addresses listened on, one listener each; none (the default): every address of
  // both families on one dual-stack socket (IPv4 only where the system has no IPv6).
  void SetListenAddresses(const std::vector<IpAddress>& addresses) { listenAddresses_ = addresses; }
  // Passive data connections listen on a port of this range (any free port by default).
  void SetPassivePorts(const PassivePortRange& range) { passivePorts_ = range; }
  // What ordinary clients may do (everything by default); the recorder's names always work.
  void SetOrdinaryClientAccess(OrdinaryClientAccess access) { access_ = access; }
  void SetListenerObserver(const FtpListenerObserver& observer) { observer_ = observer; }
  // Session caps and the time-outs (any time; counts for connections accepted later). A
  // connection over the per-address cap is answered with a 421 reply and closed at once;
  // over the total, the quietest session makes room (see CSessionAdmission).
  void SetSessionLimits(const FtpSessionLimits& limits);
  // Replaces the maker of session objects (plain CFtpSession when null, the default). The
  // factory must outlive the listener.
  void SetSessionFactory(IFtpSessionFactory* factory) { sessionFactory_ = factory; }
  // Told when the service becomes idle (see IFtpIdleObserver); set before StartListener,
  // it must outlive the service's threads.
  void SetIdleObserver(IFtpIdleObserver* observer) { idleObserver_ = observer; }
  // Given to every session the listener starts (see CFtpSession::SetActivityObserver).
  void SetActivityObserver(const FtpActivityObserver& observer) { activityObserver_ = observer; }

  // Stores the folder served as "/", ending with a separator (see
  // WithTrailingSeparator). Any thread; sessions already running keep their copy.
  void SetServedFolder(const CCountedString& folder);
  CCountedString ServedFolder();

  // Counts a listener per address as running, then starts FtpListenerThread for each.
  // False when a thread could not be started (its count is then taken back).
  bool StartListener();

  void RequestStop() { stopFlag_.store(1); }
  bool StopRequested() const { return stopFlag_.load() != 0; }
  // Clears the stop flag for a later restart; false (flag kept) while a listener or a
  // session still runs.
  bool ResetStopFlag();

  int32_t RunningListenerCount() const { return runningListenerCount_.load(); }
  int32_t SessionCount() const { return sessionCount_.load(); }
  bool IsIdle() const { return RunningListenerCount() == 0 && SessionCount() == 0; }
  // Sleeps 10 ms at a time until IsIdle(); false when `timeoutMs` passed first.
  bool WaitUntilIdle(uint32_t timeoutMs);

  // Called by a session thread as its last step: the session count drops.
  void SessionEnded();

  ListenerState GetListenerState() const {
    return static_cast<ListenerState>(listenerState_.load());
  }
  // Why the listener could not start (the system's reason; the first listener's to fail
  // where there are several); set once the state is kFailed. Any thread.
  SystemError ListenerFailure() const;
  // The port the (first) listener is bound to; 0 until it is listening.
  uint16_t ListeningPort() const { return static_cast<uint16_t>(listeningPort_.load()); }

 private:
  friend void FtpListenerThread(void* argument);
  friend struct ListenerStart;
  CFtpSession* CreateSession();
  // Takes one from `count`, then tells the idle observer when nothing runs any more.
  void CountDown(std::atomic<int32_t>& count);

  CSessionAdmission admission_;
  std::atomic<uint32_t> idleTimeoutMs_{FtpSessionLimits().idleTimeoutMs};
  std::atomic<uint32_t> loginTimeoutMs_{FtpSessionLimits().loginTimeoutMs};
  CLock servedFolderLock_;
  CCountedString servedFolder_ KESTOVA_GUARDED_BY(servedFolderLock_);
  std::atomic<int32_t> stopFlag_{0};
  std::atomic<int32_t> runningListenerCount_{0};
  std::atomic<int32_t> sessionCount_{0};
  std::atomic<int32_t> listenerState_{kNotStarted};
  mutable CLock listenerFailureLock_;
  SystemError listenerFailure_ KESTOVA_GUARDED_BY(listenerFailureLock_);
  std::atomic<int32_t> listeningPort_{0};
  uint16_t listenPort_ = 21;
  uint16_t activeSourcePort_ = 20;
  std::vector<IpAddress> listenAddresses_;
  PassivePortRange passivePorts_;
  OrdinaryClientAccess access_ = OrdinaryClientAccess::kFull;
  FtpListenerObserver observer_;
  FtpActivityObserver activityObserver_;
  IFtpSessionFactory* sessionFactory_ = nullptr;
  IFtpIdleObserver* idleObserver_ = nullptr;
};

// Thread entry of a listener; `argument` is a ListenerStart (the service and the address),
// which the thread deletes. Started by CFtpService::StartListener.
void FtpListenerThread(void* argument);

}  // namespace kestova
