// Programme reception events: what a reception reports, as data.
//
// A reception (ftp/programme_reception.h) tells its observers, in this order:
//
//   kStarted      once, under the file-naming lock, before the file name is chosen
//                 (state kStarting; no name, no figures yet)
//   kFileCreated  once the file exists (state kReceiving; fileName and path set)
//   kProgress     at most once per report interval while data comes (state kReceiving)
//   kEnded        once, last: state kReceived, kInterrupted or kWriteFailed with the final
//                 figures, or kCreateFailed (instead of kFileCreated, no figures) with the
//                 path that could not be created
//
// Each event carries the reception's id: unique for the run of the process and never
// reused, so a view keeps its row for a reception by id, whatever order it shows rows in.
//
// Observers are called synchronously on the session thread that runs the reception,
// several sessions possibly at the same time: an observer does its own locking, and
// should return promptly (the reception waits for it). Every field is valid only during
// the call; copy what is kept.
//
// Several observers: put them into one CReceptionObservers (below) and give that to the
// service. For example the Linux service shows its receive list and a status page:
//
//   CReceptionObservers observers;
//   observers.Add(&receiveList);
//   observers.Add(&statusPage);
//   CDubbingSessionFactory factory(&observers);   // ftp/dubbing_session.h
//   service.SetSessionFactory(&factory);
//
// The Windows receive page is one more view of these events (app/receive_view.h). The
// texts of the states are in ftp/reception_state_texts.h.
#pragma once

#include <cstdint>
#include <vector>

#include "base/counted_string.h"
#include "ftp/programme_progress.h"
#include "platform/system_error.h"

namespace kestova {

using ReceptionId = uint64_t;

enum class ReceptionState {
  kStarting,      // the row exists; the file is being named and created
  kReceiving,     // the file exists and is being filled
  kReceived,      // the sender closed the data connection in order, not short of the
                  // announced size (its last 2048-byte unit reached): the file is whole
  kInterrupted,   // ended by the stop flag, by silence, by a receive error, or closed in
                  // order short of the announced size; the file keeps every byte
                  // received, but the sender did not finish
  kCreateFailed,  // the file could not be created; nothing was written
  kWriteFailed,   // writing failed (a full disk); the file keeps what was written before
};

enum class ReceptionEventKind { kStarted, kFileCreated, kProgress, kEnded };

struct ReceptionEvent {
  ReceptionEventKind kind = ReceptionEventKind::kStarted;
  ReceptionId id = 0;
  ReceptionState state = ReceptionState::kStarting;
  CCountedString fileName;  // as created, without folder (system file-name encoding)
  CCountedString path;      // full path; for kCreateFailed the path that failed
  // The figures, on kProgress and on kEnded other than kCreateFailed.
  bool hasFigures = false;
  uint64_t receivedBytes = 0;   // every byte received so far
  uint64_t announcedBytes = 0;  // the title size announced before (2048-byte units * 2048);
                                // 0 when none was announced
  ProgressFigures figures;      // elapsed, rate, remaining, percentage (or "unknown")
  // On kEnded: the system's reason of a failure (e.g. "Read-only file system", "No space
  // left on device") for kCreateFailed and kWriteFailed, and for kInterrupted when the
  // data connection failed ("Connection reset by peer"); a failed file's reason wins over
  // the connection's. Unset otherwise (a stop, silence, an orderly close).
  SystemError reason;
};

class IReceptionObserver {
 public:
  virtual ~IReceptionObserver() = default;
  virtual void OnReceptionEvent(const ReceptionEvent& event) = 0;
};

// Several observers behind one: each event goes to every observer, in the order they
// were added. Add every observer before the first reception can start (before the
// listener starts); the list itself is then only read, from any thread.
class CReceptionObservers : public IReceptionObserver {
 public:
  void Add(IReceptionObserver* observer) {
    if (observer != nullptr) observers_.push_back(observer);
  }
  void OnReceptionEvent(const ReceptionEvent& event) override {
    for (IReceptionObserver* observer : observers_) observer->OnReceptionEvent(event);
  }

 private:
  std::vector<IReceptionObserver*> observers_;
};

}  // namespace kestova
