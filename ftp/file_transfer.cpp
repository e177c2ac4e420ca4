// The file transfers RETR and STOR/APPE: 64 KiB blocks, synchronously in the session
// thread, the data connection closed at the end whatever the outcome.
#include <vector>

#include "ftp/ftp_session.h"
#include "ftp/transfers_in_progress.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {
namespace {

constexpr uint32_t kTransferBlockSize = 65536;
constexpr int32_t kRetrSendTimeoutMs = 1000;
// One receive wait; short so that a stop ends the upload within about a second (the
// silence limit below is measured apart from it).
constexpr int32_t kStorReceiveTimeoutMs = 1000;
constexpr uint32_t kStorSilenceLimitMs = 10000;

}  // namespace

void CFtpSession::OnRetr(CCountedString, CCountedString argument, CCountedString) {
  // The current directory is not used: names are taken from the root folder.
  CCountedString path;
  if (!ResolveInsideRoot(rootFolder_ + argument, &path)) {
    CloseDataConnection();
    Reply("550 Permission denied.");
    return;
  }
  CTransferMark mark;
  mark.Mark(path);
  CFile file;
  if (!file.OpenForRead(path)) {
    CloseDataConnection();
    Reply("426 Connection closed; transfer aborted.");
    return;
  }
  Reply("150 Opening BINARY mode data connection for file transfer.");
  if (!OpenDataConnection()) {
    CloseDataConnection();
    Reply("426 Connection closed; transfer aborted.");
    return;
  }
  std::vector<char> buffer(kTransferBlockSize);
  dataConnection_.SetTimeout(kRetrSendTimeoutMs);
  uint32_t bytesRead = 0;
  if (!file.Read(buffer.data(), kTransferBlockSize, &bytesRead)) bytesRead = 0;
  while (bytesRead > 0) {
    if (StopRequested() || !dataConnection_.Send(buffer.data(), bytesRead)) {
      Reply("426 Connection closed; transfer aborted.");
      break;
    }
    if (!file.Read(buffer.data(), kTransferBlockSize, &bytesRead)) bytesRead = 0;
  }
  CloseDataConnection();
  Reply("226 Transfer complete");
}

void CFtpSession::OnStor(CCountedString, CCountedString argument, CCountedString) {
  // STOR and APPE both create the file anew (APPE replaces the content).
  CCountedString directory;
  CCountedString path;
  if (!ResolveInsideRoot(LocalDirectory(), &directory) ||
      !ResolveInsideRoot(directory + "\\" + argument, &path)) {
    CloseDataConnection();
    Reply("550 Permission denied.");
    return;
  }
  CreateFolderTree(directory);
  // A new file is created as such; only an existing one is opened and truncated.
  // (Truncating even an empty file makes ext4 flush the whole file when it is closed,
  // which holds up the final reply of a large upload.)
  CTransferMark mark;
  mark.Mark(path);
  CFile file;
  if (!file.CreateNew(path) && !file.OpenForWrite(path)) {
    CloseDataConnection();
    Reply("426 Connection closed; transfer aborted.");
    return;
  }
  if (!OpenDataConnection()) {
    CloseDataConnection();
    Reply("426 Connection closed; transfer aborted.");
    return;
  }
  Reply("150 Opening BINARY mode data connection for file transfer.");
  std::vector<char> buffer(kTransferBlockSize);
  dataConnection_.SetTimeout(kStorReceiveTimeoutMs);
  uint32_t lastDataTick = TickCountMs();
  bool writeFailed = false;
  while (!StopRequested()) {
    uint32_t received = 0;
    if (!dataConnection_.ReceiveFrom(buffer.data(), kTransferBlockSize, &received)) break;
    if (received > 0) {
      if (!file.Write(buffer.data(), received)) {
        // A full disk or a failing device: keep what was written, report the failure.
        writeFailed = true;
        break;
      }
      lastDataTick = TickCountMs();
    }
    if (TickCountMs() - lastDataTick > kStorSilenceLimitMs) break;
  }
  if (!file.Close()) writeFailed = true;
  CloseDataConnection();
  if (writeFailed) {
    Reply("451 Requested action aborted: local error in processing.");
    return;
  }
  Reply("226 Transfer complete");
}

}  // namespace kestova
