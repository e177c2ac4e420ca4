// The FTP service state and its listener thread.
//
// One CFtpService is owned by the front end (the main dialog on Windows, main() on
// Linux) for the whole run. It holds the served folder, the stop flag, the running-
// listener count and the session count. The listener thread accepts control
// connections and starts one session thread per connection; every thread ends by
// polling the stop flag between time-bounded waits.
//
// Shutdown: RequestStop(), then wait until IsIdle() (the front end may process its
// messages meanwhile). The stop flag is only ever cleared by ResetStopFlag(), which
// refuses while any listener or session still runs.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/counted_string.h"
#include "ftp/session_admission.h"
#include "ftp/session_activity.h"
#include "platform/system_error.h"
#include "platform/thread.h"

namespace kestova {

class CFtpSession;

// Creates the session object for an accepted connection (a CFtpSession or a class
// derived from it), on the listener thread. `context` is the one given to
// SetSessionFactory. The listener then binds the session to the service, hands it the
// connection and starts its thread; the session thread deletes it.
using FtpSessionFactory = CFtpSession* (*)(void* context);

// How the listener tells the front end about its start. Both may be empty; both are
// called on the listener thread.
struct FtpListenerObserver {
  // The listening socket is bound to `port` (the real port when 0 was asked for).
  void (*listening)(void* context, uint16_t port) = nullptr;
  // The listening socket could not be created or bound: the service stays down.
  void (*startFailed)(void* context, uint16_t port) = nullptr;
  void* context = nullptr;
};

class CFtpService {
 public:
  enum ListenerState : int32_t { kNotStarted, kStarting, kListening, kFailed, kEnded };

  CFtpService();
  // Sets the stop flag and waits until the listener and every session have ended,
  // since they use this object. An owner whose sessions wait on its own thread (the
  // Windows dialog's status callback) must wait with IsIdle() itself, dispatching its
  // messages, before the destructor runs.
  ~CFtpService();
  CFtpService(const CFtpService&) = delete;
  CFtpService& operator=(const CFtpService&) = delete;

  // Configuration; set before StartListener.
  void SetListenPort(uint16_t port) { listenPort_ = port; }              // 21 by default, 0 = any
  void SetActiveSourcePort(uint16_t port) { activeSourcePort_ = port; }  // 20 by default
  void SetListenerObserver(const FtpListenerObserver& observer) { observer_ = observer; }
  // Session caps and the idle time-out (any time; counts for connections accepted
  // later). A connection over a cap is answered with a 421 reply and closed at once.
  void SetSessionLimits(const FtpSessionLimits& limits);
  // Replaces the creator of session objects (plain CFtpSession by default).
  void SetSessionFactory(FtpSessionFactory factory, void* context);
  // Given to every session the listener starts (see CFtpSession::SetActivityObserver).
  void SetActivityObserver(const FtpActivityObserver& observer) { activityObserver_ = observer; }

  // Stores the folder served as "/", ending with a separator (see
  // WithTrailingSeparator). Any thread; sessions already running keep their copy.
  void SetServedFolder(const CCountedString& folder);
  CCountedString ServedFolder();

  // Counts the listener as running, then starts FtpListenerThread. False when the
  // thread could not be started (the count is then taken back).
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

  ListenerState GetListenerState() const {
    return static_cast<ListenerState>(listenerState_.load());
  }
  // Why the listener could not start (the system's reason); set once the state is kFailed.
  const SystemError& ListenerFailure() const { return listenerFailure_; }
  // The port the listener is bound to; 0 until it is listening.
  uint16_t ListeningPort() const { return static_cast<uint16_t>(listeningPort_.load()); }

 private:
  friend void FtpListenerThread(void* argument);
  CFtpSession* CreateSession();

  CSessionAdmission admission_;
  std::atomic<uint32_t> idleTimeoutMs_{FtpSessionLimits().idleTimeoutMs};
  CLock servedFolderLock_;
  CCountedString servedFolder_;
  std::atomic<int32_t> stopFlag_{0};
  std::atomic<int32_t> runningListenerCount_{0};
  std::atomic<int32_t> sessionCount_{0};
  std::atomic<int32_t> listenerState_{kNotStarted};
  SystemError listenerFailure_;  // written before listenerState_ becomes kFailed
  std::atomic<int32_t> listeningPort_{0};
  uint16_t listenPort_ = 21;
  uint16_t activeSourcePort_ = 20;
  FtpListenerObserver observer_;
  FtpActivityObserver activityObserver_;
  FtpSessionFactory sessionFactory_ = nullptr;
  void* sessionFactoryContext_ = nullptr;
};

// Thread entry of the listener; `argument` is the CFtpService. Started by
// CFtpService::StartListener.
void FtpListenerThread(void* argument);

}  // namespace kestova
