#include "ftp/programme_reception.h"

#include <atomic>
#include <vector>

#include "ftp/programme_file.h"
#include "ftp/programme_progress.h"
#include "ftp/title_cleaning.h"
#include "ftp/title_file_name.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {

namespace {

constexpr uint32_t kReceiveBufferSize = 65536;
constexpr size_t kFirstBlockMinimum = 256;

// Reception ids: unique for the run of the process.
std::atomic<ReceptionId> g_lastReceptionId{0};
std::atomic<int32_t> g_runningReceptions{0};

// Counts a reception as running for the lifetime of its Run.
class CRunningReception {
 public:
  CRunningReception() { g_runningReceptions.fetch_add(1); }
  ~CRunningReception() { g_runningReceptions.fetch_sub(1); }
  CRunningReception(const CRunningReception&) = delete;
  CRunningReception& operator=(const CRunningReception&) = delete;
};

class CProgrammeReception {
 public:
  CProgrammeReception(IDubbingLink& link, const ProgrammeReceptionSetup& setup)
      : link_(link),
        setup_(setup),
        buffer_(kReceiveBufferSize) {}

  ProgrammeReceptionResult Run();

 private:
  void GatherFirstBlock();
  bool CreateFile();
  bool WriteToFile(const char* bytes, size_t length);
  void ReceiveRest();
  void Finish();

  // Sends one event to the observer.
  void Notify(ReceptionEventKind kind, ReceptionState state, bool withFigures);
  // The bytes the dubbing information announced; 0 when it announced none.
  uint64_t AnnouncedBytes() const { return setup_.titleSize * 2048; }
  // Whether fewer 2048-byte units came than were announced (a whole stream may end
  // anywhere inside its last unit); false when no size was announced.
  bool ShortOfAnnouncedSize() const {
    const uint64_t units = result_.receivedBytes / 2048 + (result_.receivedBytes % 2048 != 0);
    return units < setup_.titleSize;
  }
  // A receive returned false: how the stream ended, and why when it failed.
  void NoteStreamEnd() {
    streamEnded_ = true;
    closedInOrder_ = link_.DataClosedByPeer();
    if (!closedInOrder_) streamFailure_ = link_.DataFailure();
  }
  // The system's reason an end in `state` gives: the file's when the file failed (also
  // when the connection failed as well), the connection's when it cut the stream short.
  SystemError ReasonOf(ReceptionState state) const;

  IDubbingLink& link_;
  const ProgrammeReceptionSetup& setup_;
  ProgrammeReceptionResult result_;
  std::vector<char> buffer_;
  std::vector<char> firstBlock_;
  CTransferMark transferMark_;  // declared before file_, so released after it is closed
  CFile file_;
  bool streamEnded_ = false;
  bool closedInOrder_ = false;  // the sender closed the data connection in order
  SystemError streamFailure_;   // why the data connection failed, when it did
  bool writeFailed_ = false;
  uint32_t startTime_ = 0;
  uint32_t lastData_ = 0;
  uint32_t lastReport_ = 0;
};

void CProgrammeReception::Notify(ReceptionEventKind kind, ReceptionState state, bool withFigures) {
  ReceptionEvent event;
  event.kind = kind;
  event.id = result_.id;
  event.state = state;
  event.fileName = result_.fileName;
  event.path = result_.path;
  if (kind == ReceptionEventKind::kEnded) event.reason = ReasonOf(state);
  if (withFigures) {
    event.hasFigures = true;
    event.receivedBytes = result_.receivedBytes;
    event.announcedBytes = AnnouncedBytes();
    event.figures =
        ComputeProgress(result_.receivedBytes, setup_.titleSize, TickCountMs() - startTime_);
  }
  if (setup_.observer != nullptr) setup_.observer->OnReceptionEvent(event);
}

SystemError CProgrammeReception::ReasonOf(ReceptionState state) const {
  if (state == ReceptionState::kCreateFailed || state == ReceptionState::kWriteFailed) {
    return file_.LastError();
  }
  if (state == ReceptionState::kInterrupted && streamEnded_ && !closedInOrder_) {
    return streamFailure_;
  }
  return SystemError();
}

void CProgrammeReception::GatherFirstBlock() {
  while (!link_.StopRequested()) {
    uint32_t received = 0;
    if (!link_.ReceiveData(buffer_.data(), kReceiveBufferSize, &received)) {
      NoteStreamEnd();  // closed or failed: every further receive would fail too
      break;
    }
    firstBlock_.insert(firstBlock_.end(), buffer_.data(), buffer_.data() + received);
    result_.receivedBytes += received;
    if (firstBlock_.size() >= kFirstBlockMinimum) break;
    uint32_t now = TickCountMs();
    if (received > 0) lastData_ = now;
    if (now - lastData_ > setup_.timeouts.silenceMs) break;
  }
  result_.firstBlockLength = firstBlock_.size();
}

bool CProgrammeReception::CreateFile() {
  CCountedString title = ProgrammeTitle(firstBlock_.data(), firstBlock_.size());
  CLockHolder lock(g_fileNamingLock);
  result_.id = g_lastReceptionId.fetch_add(1) + 1;
  Notify(ReceptionEventKind::kStarted, ReceptionState::kStarting, false);
  if (!CreateProgrammeFile(setup_.rootFolder, TitleFileName(title), &file_, &result_.fileName,
                           &result_.path, &transferMark_)) {
    lock.Release();
    Notify(ReceptionEventKind::kEnded, ReceptionState::kCreateFailed, false);
    return false;
  }
  lock.Release();
  Notify(ReceptionEventKind::kFileCreated, ReceptionState::kReceiving, false);
  return true;
}

bool CProgrammeReception::WriteToFile(const char* bytes, size_t length) {
  if (length == 0) return true;
  if (file_.Write(bytes, static_cast<uint32_t>(length))) return true;
  writeFailed_ = true;
  return false;
}

void CProgrammeReception::ReceiveRest() {
  while (!link_.StopRequested()) {
    uint32_t received = 0;
    const PumpResult moved = link_.ReceiveDataToFile(file_, &received);
    if (moved == PumpResult::kEnded) {
      NoteStreamEnd();
      return;
    }
    result_.receivedBytes += received;
    if (moved == PumpResult::kFileFailed) {
      writeFailed_ = true;
      return;
    }
    uint32_t now = TickCountMs();
    if (now - lastReport_ > setup_.timeouts.reportIntervalMs) {
      Notify(ReceptionEventKind::kProgress, ReceptionState::kReceiving, true);
      lastReport_ = now;
    }
    if (received > 0) lastData_ = now;
    if (now - lastData_ > setup_.timeouts.silenceMs) return;
  }
}

ProgrammeReceptionResult CProgrammeReception::Run() {
  const CRunningReception running;
  CreateFolderTree(setup_.rootFolder);
  if (!link_.OpenDataConnection()) {
    link_.ResetLoginState();
    link_.CloseDataConnection();
    // Recorder quirk kept on purpose (docs/conventions.md): 425 (or 421), then 426.
    link_.Reply(FtpReply::kTransferAborted);
    return result_;
  }
  link_.Reply(FtpReply::kOpeningBinary);
  startTime_ = lastData_ = lastReport_ = TickCountMs();
  link_.SetDataTimeout(setup_.timeouts.dataReceiveMs);

  GatherFirstBlock();
  if (!CreateFile()) {
    result_.outcome = ReceptionOutcome::kCreateFailed;
    link_.ResetLoginState();
    link_.CloseDataConnection();
    link_.Reply(FtpReply::kTransferAborted);
    return result_;
  }
  bool written = WriteToFile(firstBlock_.data(), firstBlock_.size());
  std::vector<char>().swap(firstBlock_);
  std::vector<char>().swap(buffer_);  // the rest moves through the link's own pump
  if (written && !streamEnded_) ReceiveRest();
  Finish();
  return result_;
}

void CProgrammeReception::Finish() {
  // A close that fails may have lost bytes the system had not yet written (a full disk, a
  // network folder): reported like a failed write, never as complete.
  if (!file_.Close()) writeFailed_ = true;
  std::vector<char>().swap(buffer_);
  link_.CloseDataConnection();
  // A stream closed in order but short of its announced size is a programme cut short (a
  // recorder killed half-way): interrupted, never complete.
  const bool whole = closedInOrder_ && !ShortOfAnnouncedSize();
  result_.outcome = writeFailed_ ? ReceptionOutcome::kWriteFailed
                    : whole      ? ReceptionOutcome::kReceived
                                 : ReceptionOutcome::kInterrupted;
  const ReceptionState state = writeFailed_ ? ReceptionState::kWriteFailed
                               : whole      ? ReceptionState::kReceived
                                            : ReceptionState::kInterrupted;
  // The end is told before the recorder hears the reply, so that whoever follows both
  // (the list, a test) never sees the reply of a reception whose end is still to come.
  Notify(ReceptionEventKind::kEnded, state, true);
  // Recorder quirk kept on purpose (docs/conventions.md): interrupted, still 226.
  link_.Reply(writeFailed_ ? FtpReply::kLocalError : FtpReply::kTransferComplete);
}

}  // namespace

ProgrammeReceptionResult ReceiveProgramme(IDubbingLink& link,
                                          const ProgrammeReceptionSetup& setup) {
  return CProgrammeReception(link, setup).Run();
}

int32_t RunningReceptionCount() { return g_runningReceptions.load(); }

}  // namespace kestova
