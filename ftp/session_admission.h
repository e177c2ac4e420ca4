// Who may open another control connection: at most so many sessions per client
// address and so many in all, so that a flood of idle connections cannot lock the
// recorder out.
//
// Policy when the total is reached: the newcomer is admitted and the admitted session that
// has been quiet longest (no whole command since — a session running a command, and so a
// transfer, is never chosen) is asked to close; it answers 421 and ends within one
// receive slice. Only when every session is running a command (or already asked to
// close) is the newcomer refused. The per-address cap is never lifted: a newcomer from an
// address at its cap is refused.
//
// The listener asks TryAdmit for every accepted connection; an admitted session keeps its
// place up to date (MarkCommandStart / MarkCommandEnd), looks whether it was asked to
// close (EvictionRequested), and gives its place back with Release when its thread ends.
// Any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>

#include "net/ip_address.h"
#include "platform/thread.h"

namespace kestova {

struct FtpSessionLimits {
  int32_t perAddress = 8;           // sessions from one client address; 0 = no limit
  int32_t total = 200;              // sessions in all; 0 = no limit
  uint32_t idleTimeoutMs = 300000;  // no whole command for so long; 0 = none
  uint32_t loginTimeoutMs = 30000;  // from the accept to a successful PASS; 0 = none
};

// One admitted session's place.
class CAdmissionPlace {
 public:
  explicit CAdmissionPlace(const IpAddress& address);
  const IpAddress& Address() const { return address_; }
  // The session runs a command (transfers included) / has finished it; a finished command
  // restarts the quiet time.
  void MarkCommandStart() { busy_.store(true); }
  void MarkCommandEnd(bool wholeCommandRan);
  // True once the session has been chosen to make room for a newcomer.
  bool EvictionRequested() const { return evicted_.load(); }

 private:
  friend class CSessionAdmission;
  const IpAddress address_;
  std::atomic<uint32_t> quietSinceMs_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> evicted_{false};
};

class CSessionAdmission {
 public:
  enum Verdict { kAdmitted, kTooManyFromAddress, kTooManyInAll };

  void SetLimits(const FtpSessionLimits& limits);
  // Counts the session in when the limits allow it (evicting the quietest session when the
  // total is reached, see above; an IPv4 client counts the same whichever family's socket it
  // came through). *place receives the session's place when admitted.
  Verdict TryAdmit(const IpAddress& address, CAdmissionPlace** place);
  // Gives back a place TryAdmit handed out.
  void Release(CAdmissionPlace* place);
  int32_t Total();

 private:
  CAdmissionPlace* ChooseQuietest() KESTOVA_REQUIRES(lock_);

  CLock lock_;
  FtpSessionLimits limits_ KESTOVA_GUARDED_BY(lock_);
  std::map<IpAddress, int32_t> byAddress_ KESTOVA_GUARDED_BY(lock_);
  std::list<CAdmissionPlace> places_ KESTOVA_GUARDED_BY(lock_);
  int32_t evictionsPending_ KESTOVA_GUARDED_BY(lock_) = 0;
};

}  // namespace kestova
