#include "ftp/status_callback_adapter.h"

namespace kestova {

CCountedString StatusStateText(ReceptionState state, const CCountedString& path, unsigned* id) {
  unsigned unused = 0;
  if (id == nullptr) id = &unused;
  switch (state) {
    case ReceptionState::kStarting:
      *id = 0;
      return CCountedString();
    case ReceptionState::kReceiving:
      *id = kStringReceiving;
      return kTextReceiving;
    case ReceptionState::kReceived:
      *id = kStringReceived;
      return kTextReceived;
    case ReceptionState::kInterrupted:
      *id = kStringInterrupted;
      return kTextInterrupted;
    case ReceptionState::kCreateFailed:
      *id = kStringCreateFailed;
      return CCountedString::Format(kTextCreateFailedFormat, path.CStr());
    case ReceptionState::kWriteFailed:
      *id = kStringWriteFailed;
      return CCountedString::Format(kTextWriteFailedFormat, path.CStr());
  }
  *id = 0;
  return CCountedString();
}

void CStatusCallbackAdapter::Send(uint32_t code, const char* text) {
  callback_(code, const_cast<char*>(text), context_, row_);
}

void CStatusCallbackAdapter::SendFigures(const ProgressFigures& figures) {
  const ProgressTexts texts = FormatProgress(figures);
  Send(kStatusSize, texts.size.CStr());
  Send(kStatusElapsed, texts.elapsed.CStr());
  Send(kStatusPercentage, texts.percentage.CStr());
  Send(kStatusRemaining, texts.remaining.CStr());
  Send(kStatusRate, texts.rate.CStr());
}

void CStatusCallbackAdapter::OnReceptionEvent(const ReceptionEvent& event) {
  if (callback_ == nullptr) return;
  switch (event.kind) {
    case ReceptionEventKind::kStarted: {
      int32_t row = -1;
      callback_(kStatusAddRow, &row, context_, row_);
      row_ = row;
      return;
    }
    case ReceptionEventKind::kFileCreated:
      Send(kStatusFileName, event.fileName.CStr());
      Send(kStatusState, kTextReceiving);
      return;
    case ReceptionEventKind::kProgress:
      SendFigures(event.figures);
      return;
    case ReceptionEventKind::kEnded:
      if (event.hasFigures) SendFigures(event.figures);
      Send(kStatusState, StatusStateText(event.state, event.path, nullptr).CStr());
      return;
  }
}

}  // namespace kestova
