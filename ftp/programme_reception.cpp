#include "ftp/programme_reception.h"

#include <vector>

#include "ftp/programme_file.h"
#include "ftp/programme_progress.h"
#include "ftp/title_cleaning.h"
#include "ftp/title_file_name.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {

namespace {

constexpr char kReplyOpening[] = "150 Opening BINARY mode data connection for file transfer.";
constexpr char kReplyAborted[] = "426 Connection closed; transfer aborted.";
constexpr char kReplyComplete[] = "226 Transfer complete";
constexpr char kReplyWriteFailed[] = "451 Requested action aborted: local error in processing.";

constexpr uint32_t kReceiveBufferSize = 65536;
constexpr size_t kFirstBlockMinimum = 256;

class CProgrammeReception {
 public:
  CProgrammeReception(IDubbingLink& link, const ProgrammeReceptionSetup& setup)
      : link_(link), setup_(setup), buffer_(kReceiveBufferSize) {}

  ProgrammeReceptionResult Run();

 private:
  void GatherFirstBlock();
  bool CreateFile();
  bool WriteToFile(const char* bytes, size_t length);
  void ReceiveRest();
  void Finish();

  void Report(uint32_t code, const char* text);
  void ReportProgress();

  IDubbingLink& link_;
  const ProgrammeReceptionSetup& setup_;
  ProgrammeReceptionResult result_;
  std::vector<char> buffer_;
  std::vector<char> firstBlock_;
  CTransferMark transferMark_;  // declared before file_, so released after it is closed
  CFile file_;
  bool streamEnded_ = false;
  bool writeFailed_ = false;
  uint32_t startTime_ = 0;
  uint32_t lastData_ = 0;
  uint32_t lastReport_ = 0;
};

void CProgrammeReception::Report(uint32_t code, const char* text) {
  if (setup_.callback == nullptr) return;
  setup_.callback(code, const_cast<char*>(text), setup_.context, result_.row);
}

void CProgrammeReception::ReportProgress() {
  if (setup_.callback == nullptr) return;
  ProgressFigures figures =
      ComputeProgress(result_.receivedBytes, setup_.titleSize, TickCountMs() - startTime_);
  ProgressTexts texts = FormatProgress(figures);
  Report(kStatusSize, texts.size.CStr());
  Report(kStatusElapsed, texts.elapsed.CStr());
  Report(kStatusPercentage, texts.percentage.CStr());
  Report(kStatusRemaining, texts.remaining.CStr());
  Report(kStatusRate, texts.rate.CStr());
}

void CProgrammeReception::GatherFirstBlock() {
  while (!link_.StopRequested()) {
    uint32_t received = 0;
    if (!link_.ReceiveData(buffer_.data(), kReceiveBufferSize, &received)) {
      streamEnded_ = true;  // closed or failed: every further receive would fail too
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
  CFileNamingLockHolder lock;
  if (setup_.callback != nullptr) {
    int32_t row = -1;
    setup_.callback(kStatusAddRow, &row, setup_.context, result_.row);
    result_.row = row;
  }
  if (!CreateProgrammeFile(setup_.rootFolder, TitleFileName(title), &file_, &result_.fileName,
                           &result_.path, &transferMark_)) {
    lock.Release();
    Report(kStatusState,
           CCountedString::Format(kTextCreateFailedFormat, result_.path.CStr()).CStr());
    return false;
  }
  lock.Release();
  Report(kStatusFileName, result_.fileName.CStr());
  Report(kStatusState, kTextReceiving);
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
    if (!link_.ReceiveData(buffer_.data(), kReceiveBufferSize, &received)) return;
    result_.receivedBytes += received;
    if (!WriteToFile(buffer_.data(), received)) return;
    uint32_t now = TickCountMs();
    if (now - lastReport_ > setup_.timeouts.reportIntervalMs) {
      ReportProgress();
      lastReport_ = now;
    }
    if (received > 0) lastData_ = now;
    if (now - lastData_ > setup_.timeouts.silenceMs) return;
  }
}

ProgrammeReceptionResult CProgrammeReception::Run() {
  CreateFolderTree(setup_.rootFolder);
  if (!link_.OpenDataConnection()) {
    link_.ResetLoginState();
    link_.CloseDataConnection();
    link_.Reply(kReplyAborted);
    return result_;
  }
  link_.Reply(kReplyOpening);
  startTime_ = lastData_ = lastReport_ = TickCountMs();
  link_.SetDataTimeout(setup_.timeouts.dataReceiveMs);

  GatherFirstBlock();
  if (!CreateFile()) {
    result_.outcome = ReceptionOutcome::kCreateFailed;
    link_.ResetLoginState();
    link_.CloseDataConnection();
    link_.Reply(kReplyAborted);
    return result_;
  }
  bool written = WriteToFile(firstBlock_.data(), firstBlock_.size());
  std::vector<char>().swap(firstBlock_);
  if (written && !streamEnded_) ReceiveRest();
  Finish();
  return result_;
}

void CProgrammeReception::Finish() {
  file_.Close();
  std::vector<char>().swap(buffer_);
  link_.CloseDataConnection();
  if (writeFailed_) {
    result_.outcome = ReceptionOutcome::kWriteFailed;
    link_.Reply(kReplyWriteFailed);
  } else {
    result_.outcome = ReceptionOutcome::kReceived;
    link_.Reply(kReplyComplete);
  }
  ReportProgress();
  if (writeFailed_) {
    Report(kStatusState,
           CCountedString::Format(kTextWriteFailedFormat, result_.path.CStr()).CStr());
  } else {
    Report(kStatusState, kTextReceived);
  }
}

}  // namespace

ProgrammeReceptionResult ReceiveProgramme(IDubbingLink& link,
                                          const ProgrammeReceptionSetup& setup) {
  return CProgrammeReception(link, setup).Run();
}

}  // namespace kestova
