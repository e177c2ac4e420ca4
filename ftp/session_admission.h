// Who may open another control connection: at most so many sessions per client
// address and so many in all, so that a flood of idle connections from one machine
// cannot lock the recorder out.
//
// The listener asks TryAdmit for every accepted connection; an admitted session
// gives its place back with Release when its thread ends. Any thread.
#pragma once

#include <cstdint>
#include <map>

#include "platform/thread.h"

namespace kestova {

struct FtpSessionLimits {
  int32_t perAddress = 8;           // sessions from one client address; 0 = no limit
  int32_t total = 200;              // sessions in all; 0 = no limit
  uint32_t idleTimeoutMs = 300000;  // control connection quiet between commands; 0 = none
};

class CSessionAdmission {
 public:
  enum Verdict { kAdmitted, kTooManyFromAddress, kTooManyInAll };

  void SetLimits(const FtpSessionLimits& limits);
  // Counts the session in when both limits allow it; `address` in network order.
  Verdict TryAdmit(uint32_t address);
  // Gives back the place of a session admitted for `address`.
  void Release(uint32_t address);
  int32_t Total();

 private:
  CLock lock_;
  FtpSessionLimits limits_ KESTOVA_GUARDED_BY(lock_);
  std::map<uint32_t, int32_t> byAddress_ KESTOVA_GUARDED_BY(lock_);
  int32_t total_ KESTOVA_GUARDED_BY(lock_) = 0;
};

}  // namespace kestova
