// The file transfers RETR and STOR/APPE of ordinary files: 64 KiB blocks, synchronously
// in the session thread, the data connection closed at the end whatever the outcome.
//
// Each transfer ends with exactly one final reply: 226 when every byte moved, else the
// one reply that says why (425/421 from opening the data connection, 426, 451; 550 for
// an upload the service has no rights to write).
// A REST offset applies to the next transfer: RETR starts there; STOR and APPE write
// from there and keep the rest of the file. Without it APPE writes at the end.
#include "ftp/ftp_session.h"
#include "ftp/served_path.h"
#include "ftp/moving_send.h"
#include "ftp/transfers_in_progress.h"
#include "net/socket_file_pump.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "platform/time.h"

namespace kestova {
namespace {

// One receive wait; short so that a stop ends the upload within about a second (the
// silence limit below is measured apart from it).
constexpr int32_t kStorReceiveTimeoutMs = 1000;
constexpr uint32_t kStorSilenceLimitMs = 10000;

// The reply for an upload target that could not be opened or created: "550 Permission
// denied." when the service may not write it (an existing file, or else its folder, is
// read-only for the service: no rights, a read-only mount); otherwise, as for a file held
// open by another transfer, 426.
FtpReply RefusedUploadReply(const CCountedString& path) {
  const CCountedString written = NameIsTaken(path) ? path : FolderOf(path, CodePage::System());
  return IsReadOnly(written) ? FtpReply::kPermissionDenied : FtpReply::kTransferAborted;
}

// Where a transfer with a restart offset starts in a file of `size` bytes; false when
// the offset lies outside the file (a negative one, or one past its end).
bool RestartFits(int64_t offset, uint64_t size) {
  return offset >= 0 && static_cast<uint64_t>(offset) <= size;
}

}  // namespace

void CFtpSession::OnRetr(const FtpRequest& request) {
  const int64_t offset = TakeRestartOffset();
  CCountedString path;
  if (!ResolveClientPath(request.argument, &path)) {
    CloseDataConnection();
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  PathAttributes attributes;
  if (!GetPathAttributes(path, &attributes)) {
    CloseDataConnection();
    Reply(FtpReply::kFileNotFound, request.argument);
    return;
  }
  if (attributes.isDirectory) {
    CloseDataConnection();
    Reply(FtpReply::kNotAPlainFile, request.argument);
    return;
  }
  CTransferMark mark;
  mark.Mark(path);
  CFile file;
  if (!file.OpenForRead(path)) {  // held open by a transfer, or unreadable
    CloseDataConnection();
    Reply(FtpReply::kTransferAborted);
    return;
  }
  uint64_t size = 0;
  if (!file.GetSize(&size) || !RestartFits(offset, size) ||
      !file.Seek(static_cast<uint64_t>(offset))) {
    CloseDataConnection();
    Reply(FtpReply::kCannotRestart, offset, request.argument, size);
    return;
  }
  Reply(FtpReply::kOpeningBinary);
  if (!OpenDataConnection()) {  // its own reply (425 or 421) is the final one
    CloseDataConnection();
    return;
  }
  const SendOutcome sent =
      SendFileWhileMoving(dataConnection_, file, [this] { return ClientStillThere(); });
  const FtpReply outcome = sent == SendOutcome::kSent         ? FtpReply::kTransferComplete
                           : sent == SendOutcome::kFileFailed ? FtpReply::kLocalError
                                                              : FtpReply::kTransferAborted;
  // Only a whole send tells how many bytes went out.
  transferBytes_ =
      sent == SendOutcome::kSent ? size - static_cast<uint64_t>(offset) : kFtpBytesUnknown;
  CloseDataConnection();
  Reply(outcome);
}

// A REST offset (or APPE) keeps the content; a plain STOR empties the file.
bool CFtpSession::OpenUploadTarget(const CCountedString& path, const CCountedString& argument,
                                   bool append, int64_t offset, CFile* file) {
  if (!append && offset == 0) {
    // A new file is created as such; only an existing one is opened and truncated.
    // (Truncating even an empty file makes ext4 flush the whole file when it is closed,
    // which holds up the final reply of a large upload.)
    if (file->CreateNew(path) || file->OpenForWrite(path)) return true;
    Reply(RefusedUploadReply(path));
    return false;
  }
  uint64_t size = 0;
  if (file->OpenExistingForWrite(path)) {
    if (!file->GetSize(&size)) {
      Reply(FtpReply::kLocalError);
      return false;
    }
  } else if (PathExists(path)) {  // held open by a transfer, a folder, or no rights
    Reply(RefusedUploadReply(path));
    return false;
  } else if (offset == 0) {  // APPE of a new name creates the file
    if (!file->CreateNew(path)) {
      Reply(RefusedUploadReply(path));
      return false;
    }
  }  // else a restart into a missing file: refused below, nothing is created
  const int64_t start = offset == 0 ? static_cast<int64_t>(size) : offset;
  if (!RestartFits(start, size) || !file->Seek(static_cast<uint64_t>(start))) {
    file->Close();
    Reply(FtpReply::kCannotRestart, offset, argument, size);
    return false;
  }
  return true;
}

void CFtpSession::OnStor(const FtpRequest& request) {
  const int64_t offset = TakeRestartOffset();
  CCountedString directory;
  CCountedString path;
  if (!NameMayBeCreated(request.argument, request.argument)) {  // before resolving, as MKD
    CloseDataConnection();
    Reply(FtpReply::kNameNotAllowed);
    return;
  }
  if (!ResolveInsideRoot(LocalDirectory(), &directory) ||
      !ResolveClientPath(request.argument, &path) || IsRootFolder(path)) {
    CloseDataConnection();
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (!NameMayBeCreated(request.argument, path)) {
    CloseDataConnection();
    Reply(FtpReply::kNameNotAllowed);
    return;
  }
  CreateFolderTree(directory);
  CTransferMark mark;
  mark.Mark(path);
  CFile file;
  if (!OpenUploadTarget(path, request.argument, request.verb == "APPE", offset, &file)) {
    CloseDataConnection();
    return;
  }
  if (!OpenDataConnection()) {  // its own reply (425 or 421) is the final one
    CloseDataConnection();
    return;
  }
  Reply(FtpReply::kOpeningBinary);
  CSocketToFile pump;
  dataConnection_.SetTimeout(kStorReceiveTimeoutMs);
  uint32_t lastDataTick = TickCountMs();
  FtpReply outcome = FtpReply::kTransferAborted;  // unless the client ends the data connection
  while (!StopRequested()) {
    uint32_t received = 0;
    const PumpResult moved = pump.Move(dataConnection_, file, &received);
    transferBytes_ += received;
    if (moved == PumpResult::kEnded) {
      outcome = FtpReply::kTransferComplete;  // the client's close: the normal end
      break;
    }
    if (moved == PumpResult::kFileFailed) {
      // A full disk or a failing device: keep what was written, report the failure.
      outcome = FtpReply::kLocalError;
      break;
    }
    if (received > 0) lastDataTick = TickCountMs();
    if (TickCountMs() - lastDataTick > kStorSilenceLimitMs) break;
  }
  if (!file.Close() && outcome == FtpReply::kTransferComplete) outcome = FtpReply::kLocalError;
  CloseDataConnection();
  Reply(outcome);
}

}  // namespace kestova
