#include "ftp/moving_send.h"

#include "net/socket_file_pump.h"
#include "platform/time.h"

namespace kestova {
namespace {

constexpr int32_t kRoomWaitMs = 1000;

}  // namespace

SendOutcome SendWhileMoving(CEventSocket& socket, const char* bytes, uint32_t length,
                            const std::function<bool()>& keepGoing, uint32_t stallLimitMs) {
  uint32_t lastProgress = TickCountMs();
  while (length > 0) {
    if (!keepGoing()) return SendOutcome::kStopped;
    uint32_t sent = 0;
    if (!socket.SendSome(bytes, length, &sent, kRoomWaitMs)) return SendOutcome::kFailed;
    const uint32_t now = TickCountMs();
    if (sent > 0) {
      lastProgress = now;
      bytes += sent;
      length -= sent;
    } else if (now - lastProgress > stallLimitMs) {
      return SendOutcome::kStalled;
    }
  }
  return SendOutcome::kSent;
}

SendOutcome SendFileWhileMoving(CEventSocket& socket, CFile& file,
                                const std::function<bool()>& keepGoing, uint32_t stallLimitMs) {
  CFileToSocket pump;
  uint32_t lastProgress = TickCountMs();
  for (;;) {
    if (!keepGoing()) return SendOutcome::kStopped;
    uint32_t sent = 0;
    switch (pump.SendSome(file, socket, &sent, kRoomWaitMs)) {
      case PumpResult::kEnded:
        return SendOutcome::kSent;
      case PumpResult::kFileFailed:
        return SendOutcome::kFileFailed;
      case PumpResult::kSendFailed:
        return SendOutcome::kFailed;
      default:
        break;
    }
    const uint32_t now = TickCountMs();
    if (sent > 0) {
      lastProgress = now;
    } else if (now - lastProgress > stallLimitMs) {
      return SendOutcome::kStalled;
    }
  }
}

}  // namespace kestova
