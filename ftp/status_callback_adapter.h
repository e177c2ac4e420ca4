// CStatusCallbackAdapter: the status callback (ftp/status_callback.h) as a view of one
// reception's events (ftp/reception_events.h).
//
//   kStarted      code 7; the row index the callback hands back is kept for the others
//   kFileCreated  code 0 (file name), then code 6 "受信中"
//   kProgress     codes 1-5 (FormatProgress texts)
//   kEnded        codes 1-5 with the final figures, then code 6 with the state's text
//                 ("受信完了しました", "受信が中断されました", or the 10009 text with the
//                 path); for kCreateFailed only code 6 with the 10008 text and the path
//
// One adapter serves one reception (the row index is the reception's), so it needs no
// lock; it is called on that reception's session thread.
#pragma once

#include <cstdint>

#include "ftp/reception_events.h"
#include "ftp/status_callback.h"

namespace kestova {

class CStatusCallbackAdapter : public IReceptionObserver {
 public:
  CStatusCallbackAdapter(StatusCallback callback, void* context)
      : callback_(callback), context_(context) {}

  void OnReceptionEvent(const ReceptionEvent& event) override;

  // The row index from code 7; -1 before it, or when the callback gave none.
  int32_t Row() const { return row_; }

 private:
  void Send(uint32_t code, const char* text);
  void SendFigures(const ProgressFigures& figures);

  StatusCallback callback_;
  void* context_;
  int32_t row_ = -1;
};

// The code-6 text of an ended reception's state, with its string-table id (see
// ftp/status_callback.h): the two failure texts with `path` in place of %s. kStarting
// has no text (empty, id 0); kReceiving is 1007 "受信中".
CCountedString StatusStateText(ReceptionState state, const CCountedString& path, unsigned* id);

}  // namespace kestova
