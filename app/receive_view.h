// CReceiveView: the receive page's list as a view of the reception events
// (ftp/reception_events.h), one row per reception.
//
//   kStarted      appends an empty row; the row is found again by its item data, which
//                 stays with it however the list is sorted (never by position)
//   kFileCreated  file name (column 0), state "受信中" (column 6)
//   kProgress     size, elapsed, percentage, rate, remaining (columns 1-5)
//   kEnded        the final figures, then the state's text: "受信完了しました",
//                 "受信が中断されました", or the failure text with the path
//
// Threads: session threads call OnReceptionEvent. It copies what the row will show into
// a queue under a lock and, when the queue was empty, posts one kDrainMessage to the
// page's window; it never waits for the window. The page's thread calls Drain on that
// message and changes the list. State texts come from the string table.
#pragma once

#include <map>
#include <vector>

#include "base/counted_string.h"
#include "ftp/programme_progress.h"
#include "ftp/reception_events.h"
#include "platform/thread.h"
#include "platform/thread_annotations.h"
#include "ui/elist_ctrl.h"

namespace kestova {

class CReceiveView : public IReceptionObserver {
 public:
  // Posted to the window given to SetWindow; its handler calls Drain.
  static constexpr UINT kDrainMessage = WM_APP + 1;

  explicit CReceiveView(EListCtrl& list) : list_(list) {}

  // The window that is told to drain (the page), or null: reports then wait in the
  // queue until the next Drain. The page's thread.
  void SetWindow(HWND window);
  // Any thread; returns at once.
  void OnReceptionEvent(const ReceptionEvent& event) override;
  // Shows every queued report in the list. The list's thread.
  void Drain();

 private:
  // What one event changes in its row, copied out of the event.
  struct Report {
    ReceptionId id = 0;
    ReceptionEventKind kind = ReceptionEventKind::kStarted;
    ReceptionState state = ReceptionState::kStarting;
    CCountedString fileName;
    CCountedString path;
    bool hasFigures = false;
    ProgressTexts figures;
  };

  void Show(const Report& report);
  void ShowFigures(int row, const ProgressTexts& figures);
  // The row of reception `id`, or -1 (no row was added for it).
  int RowOf(ReceptionId id) const;

  EListCtrl& list_;
  CLock lock_;
  HWND window_ KESTOVA_GUARDED_BY(lock_) = nullptr;
  std::vector<Report> queue_ KESTOVA_GUARDED_BY(lock_);
  // The list's thread only: each reception's row, by the row's item data.
  std::map<ReceptionId, LPARAM> rowData_;
};

// The text of `state` for the list: the string-table entry, with `path` for the two
// failure texts; empty for kStarting.
CCountedString ReceiveStateText(ReceptionState state, const CCountedString& path);

}  // namespace kestova
