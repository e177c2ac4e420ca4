#include "linux/status/reception_board.h"

#include <algorithm>

namespace kestova {

const char* BoardStateName(BoardState state) {
  switch (state) {
    case BoardState::kStarting:
      return "starting";
    case BoardState::kReceiving:
      return "receiving";
    case BoardState::kReceived:
      return "received";
    case BoardState::kInterrupted:
      return "interrupted";
    case BoardState::kCreateFailed:
      return "create-failed";
    case BoardState::kWriteFailed:
      return "write-failed";
  }
  return "receiving";
}

bool IsEndState(BoardState state) {
  return state != BoardState::kStarting && state != BoardState::kReceiving;
}

bool CReceptionBoard::Apply(const BoardRecord& record, BoardRecord* stored) {
  std::lock_guard<std::mutex> hold(mutex_);
  ++version_;
  const std::time_t now = std::time(nullptr);
  auto found = std::find_if(records_.begin(), records_.end(),
                            [&](const BoardRecord& r) { return r.id == record.id; });
  if (found == records_.end()) {
    records_.push_back(record);
    records_.back().startedAt = now;
    records_.back().endedAt = IsEndState(record.state) ? now : 0;
    if (stored != nullptr) *stored = records_.back();
    while (records_.size() > kMaxRecords) records_.pop_front();
    return IsEndState(record.state);
  }
  const bool wasEnded = IsEndState(found->state);
  const std::time_t startedAt = found->startedAt;
  const std::time_t endedAt = found->endedAt;
  *found = record;
  found->startedAt = startedAt;
  found->endedAt = wasEnded ? endedAt : (IsEndState(record.state) ? now : 0);
  if (stored != nullptr) *stored = *found;
  return !wasEnded && IsEndState(record.state);
}

std::vector<BoardRecord> CReceptionBoard::Snapshot(uint64_t* version) const {
  std::lock_guard<std::mutex> hold(mutex_);
  if (version != nullptr) *version = version_;
  return std::vector<BoardRecord>(records_.begin(), records_.end());
}

}  // namespace kestova
