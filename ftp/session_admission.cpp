#include "ftp/session_admission.h"

#include "platform/time.h"

namespace kestova {

CAdmissionPlace::CAdmissionPlace(const IpAddress& address)
    : address_(address), quietSinceMs_(TickCountMs()) {}

void CAdmissionPlace::MarkCommandEnd(bool wholeCommandRan) {
  if (wholeCommandRan) quietSinceMs_.store(TickCountMs());
  busy_.store(false);
}

void CSessionAdmission::SetLimits(const FtpSessionLimits& limits) {
  CLockHolder holder(lock_);
  limits_ = limits;
}

CAdmissionPlace* CSessionAdmission::ChooseQuietest() {
  const uint32_t now = TickCountMs();
  CAdmissionPlace* quietest = nullptr;
  uint32_t longest = 0;
  for (CAdmissionPlace& place : places_) {
    if (place.busy_.load() || place.evicted_.load()) continue;
    const uint32_t quiet = now - place.quietSinceMs_.load();
    if (quietest == nullptr || quiet > longest) {
      quietest = &place;
      longest = quiet;
    }
  }
  return quietest;
}

CSessionAdmission::Verdict CSessionAdmission::TryAdmit(const IpAddress& address,
                                                       CAdmissionPlace** place) {
  CLockHolder holder(lock_);
  const auto known = byAddress_.find(address);
  const int32_t fromAddress = known == byAddress_.end() ? 0 : known->second;
  if (limits_.perAddress > 0 && fromAddress >= limits_.perAddress) return kTooManyFromAddress;
  // Sessions already asked to close are on their way out and hold no place any more.
  const int32_t staying = static_cast<int32_t>(places_.size()) - evictionsPending_;
  if (limits_.total > 0 && staying >= limits_.total) {
    CAdmissionPlace* quietest = ChooseQuietest();
    if (quietest == nullptr) return kTooManyInAll;
    quietest->evicted_.store(true);
    ++evictionsPending_;
  }
  ++byAddress_[address];
  places_.emplace_back(address);
  *place = &places_.back();
  return kAdmitted;
}

void CSessionAdmission::Release(CAdmissionPlace* place) {
  CLockHolder holder(lock_);
  const auto entry = byAddress_.find(place->address_);
  if (entry != byAddress_.end() && --entry->second <= 0) byAddress_.erase(entry);
  if (place->evicted_.load()) --evictionsPending_;
  for (auto it = places_.begin(); it != places_.end(); ++it) {
    if (&*it == place) {
      places_.erase(it);
      return;
    }
  }
}

int32_t CSessionAdmission::Total() {
  CLockHolder holder(lock_);
  return static_cast<int32_t>(places_.size());
}

}  // namespace kestova
