#include "linux/reception_watch.h"

namespace kestova {
namespace {

BoardState BoardStateOf(ReceptionState state) {
  switch (state) {
    case ReceptionState::kStarting:
      return BoardState::kStarting;
    case ReceptionState::kReceiving:
      return BoardState::kReceiving;
    case ReceptionState::kReceived:
      return BoardState::kReceived;
    case ReceptionState::kInterrupted:
      return BoardState::kInterrupted;
    case ReceptionState::kCreateFailed:
      return BoardState::kCreateFailed;
    case ReceptionState::kWriteFailed:
      return BoardState::kWriteFailed;
  }
  return BoardState::kStarting;
}

}  // namespace

BoardRecord RecordOfEvent(const ReceptionEvent& event) {
  BoardRecord record;
  record.id = event.id;
  record.state = BoardStateOf(event.state);
  record.fileName = event.fileName.CStr();
  record.path = event.path.CStr();
  record.reason = event.reason.text.CStr();
  if (!event.hasFigures) return record;
  record.receivedBytes = event.receivedBytes;
  record.announcedBytes = event.announcedBytes;
  record.elapsedSeconds = event.figures.elapsedSeconds;
  record.rateKiBPerSecond = event.figures.rateKiBPerSecond;
  record.remainingKnown = event.figures.remainingKnown;
  record.remainingSeconds = event.figures.remainingSeconds;
  record.percentageKnown = event.figures.percentageKnown;
  record.percentage = event.figures.percentage;
  return record;
}

void CReceptionWatch::OnReception(const BoardRecord& record) {
  BoardRecord stored;
  if (board_.Apply(record, &stored)) hook_.Run(stored);
}

bool CReceptionWatch::StartPage(const std::string& address, uint16_t port,
                                const std::string& programVersion, std::string* error) {
  server_.reset(new CStatusServer(board_, service_, programVersion));
  if (server_->Start(address, port, error)) return true;
  server_.reset();
  return false;
}

void CReceptionWatch::StopPage() { server_.reset(); }

}  // namespace kestova
