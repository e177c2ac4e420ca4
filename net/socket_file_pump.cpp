// The buffered moves of the pumps, used where the kernel cannot move the bytes itself.
#include "net/socket_file_pump.h"

#include <cstdlib>
#include <cstring>

namespace kestova {

bool KernelTransfersAllowed() {
  const char* plain = std::getenv("KESTOVA_PLAIN_TRANSFERS");
  return plain == nullptr || std::strcmp(plain, "1") != 0;
}

PumpResult CSocketToFile::MoveThroughBuffer(CEventSocket& socket, CFile& file, uint32_t* received) {
  buffer_.resize(kPumpBlockSize);
  if (!socket.ReceiveFrom(buffer_.data(), kPumpBlockSize, received)) return PumpResult::kEnded;
  if (*received > 0 && !file.Write(buffer_.data(), *received)) return PumpResult::kFileFailed;
  return PumpResult::kMoved;
}

PumpResult CFileToSocket::SendThroughBuffer(CFile& file, CEventSocket& socket, uint32_t* sent,
                                            int32_t roomWaitMs) {
  if (pendingAt_ == pendingEnd_) {
    buffer_.resize(kPumpBlockSize);
    pendingAt_ = pendingEnd_ = 0;
    if (!file.Read(buffer_.data(), kPumpBlockSize, &pendingEnd_)) return PumpResult::kFileFailed;
    if (pendingEnd_ == 0) return PumpResult::kEnded;
  }
  if (!socket.SendSome(buffer_.data() + pendingAt_, pendingEnd_ - pendingAt_, sent, roomWaitMs)) {
    return PumpResult::kSendFailed;
  }
  pendingAt_ += *sent;
  return PumpResult::kMoved;
}

}  // namespace kestova
