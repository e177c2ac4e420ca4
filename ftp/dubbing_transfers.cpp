#include "ftp/dubbing_transfers.h"

#include "ftp/dubbing_documents.h"
#include "platform/time.h"

namespace kestova {

namespace {
constexpr uint32_t kInfoPieceSize = 2048;
// A dubbing information document is a few hundred bytes; more than this is not kept,
// so a peer that never stops sending cannot exhaust the memory.
constexpr size_t kInfoKeptLength = 1024 * 1024;
}  // namespace

void SendStatusDocument(IDubbingLink& link, const CCountedString& document,
                        const DubbingTimeouts& timeouts) {
  link.Reply(FtpReply::kOpeningBinary);
  if (!link.OpenDataConnection()) {
    link.CloseDataConnection();
    // Recorder quirk kept on purpose (docs/conventions.md): 425 (or 421), then 426.
    link.Reply(FtpReply::kTransferAborted);
    return;
  }
  link.SetDataTimeout(timeouts.statusSendMs);
  if (!link.SendData(document.CStr(), static_cast<uint32_t>(document.Length()))) {
    link.Reply(FtpReply::kTransferAborted);
  }
  link.CloseDataConnection();
  link.Reply(FtpReply::kTransferComplete);
}

void ReceiveDubbingInfo(IDubbingLink& link, uint64_t* titleSize, const DubbingTimeouts& timeouts) {
  if (!link.OpenDataConnection()) {
    link.ResetLoginState();
    link.CloseDataConnection();
    // Recorder quirk kept on purpose (docs/conventions.md): 425 (or 421), then 426.
    link.Reply(FtpReply::kTransferAborted);
    return;
  }
  link.Reply(FtpReply::kOpeningBinary);
  link.SetDataTimeout(timeouts.dataReceiveMs);
  uint32_t lastData = TickCountMs();
  CCountedString document;
  char piece[kInfoPieceSize];
  while (!link.StopRequested()) {
    uint32_t received = 0;
    if (!link.ReceiveData(piece, sizeof(piece), &received)) break;
    if (document.Length() < kInfoKeptLength) document.Append(piece, received);
    uint32_t now = TickCountMs();
    if (received > 0) lastData = now;
    if (now - lastData > timeouts.silenceMs) break;
  }
  link.CloseDataConnection();
  link.Reply(FtpReply::kTransferComplete);
  *titleSize = ParseTitleSize(document);
}

}  // namespace kestova
