#include "ftp/session_admission.h"

namespace kestova {

void CSessionAdmission::SetLimits(const FtpSessionLimits& limits) {
  CLockHolder holder(lock_);
  limits_ = limits;
}

CSessionAdmission::Verdict CSessionAdmission::TryAdmit(const IpAddress& address) {
  CLockHolder holder(lock_);
  if (limits_.total > 0 && total_ >= limits_.total) return kTooManyInAll;
  int32_t& fromAddress = byAddress_[address];
  if (limits_.perAddress > 0 && fromAddress >= limits_.perAddress) return kTooManyFromAddress;
  ++fromAddress;
  ++total_;
  return kAdmitted;
}

void CSessionAdmission::Release(const IpAddress& address) {
  CLockHolder holder(lock_);
  const auto entry = byAddress_.find(address);
  if (entry == byAddress_.end()) return;
  if (--entry->second <= 0) byAddress_.erase(entry);
  --total_;
}

int32_t CSessionAdmission::Total() {
  CLockHolder holder(lock_);
  return total_;
}

}  // namespace kestova
