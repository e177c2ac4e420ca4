// CReceptionBoard: the status page's model of the programme receptions — one record per
// reception, keyed by its row id, as the reception's typed events last described it.
//
// Fed on the session threads (Apply), read by the page's server threads (Snapshot).
// Keeps the newest kMaxRecords records; older ones leave the board (the files stay).
#pragma once

#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace kestova {

enum class BoardState {
  kStarting,  // the row exists; the file is being named and created
  kReceiving,
  kReceived,
  kInterrupted,
  kCreateFailed,
  kWriteFailed,
};

// "starting", "receiving", "received", "interrupted", "create-failed", "write-failed": the state's
// name in the JSON and in the completion hook's KESTOVA_STATE.
const char* BoardStateName(BoardState state);
bool IsEndState(BoardState state);

struct BoardRecord {
  uint64_t id = 0;
  BoardState state = BoardState::kStarting;
  std::string fileName;  // UTF-8, no folder; empty until the file exists
  std::string path;      // UTF-8, the file (or, for kCreateFailed, the name that failed)
  std::string reason;    // the system's reason of a failure (ReceptionEvent::reason)
  uint64_t receivedBytes = 0;
  uint64_t announcedBytes = 0;  // 0: no size announced
  uint32_t elapsedSeconds = 0;
  uint32_t rateKiBPerSecond = 0;
  bool remainingKnown = false;
  uint32_t remainingSeconds = 0;
  bool percentageKnown = false;
  double percentage = 0.0;
  std::time_t startedAt = 0;  // wall clock, set by the board when the id is first seen
  std::time_t endedAt = 0;    // 0 while receiving
};

class CReceptionBoard {
 public:
  static constexpr size_t kMaxRecords = 500;

  // Stores `record` under its id (a new id is appended). startedAt and endedAt are kept
  // by the board: the first time the id is seen, and the first time its state is an end
  // state. Returns true when this call moved the record into an end state; *stored (may
  // be null) receives the record as stored.
  bool Apply(const BoardRecord& record, BoardRecord* stored = nullptr);

  // Every record, oldest first, and the number of Apply calls so far.
  std::vector<BoardRecord> Snapshot(uint64_t* version = nullptr) const;

 private:
  mutable std::mutex mutex_;
  std::deque<BoardRecord> records_;
  uint64_t version_ = 0;
};

}  // namespace kestova
