// The pumps on Windows: always through the buffer, as the overlapped socket layer
// receives and sends it (the same copies as before there were pumps).
#include "net/socket_file_pump.h"

namespace kestova {

CSocketToFile::~CSocketToFile() = default;

void CSocketToFile::ClosePipe() {}

PumpResult CSocketToFile::Move(CEventSocket& socket, CFile& file, uint32_t* received) {
  *received = 0;
  mode_ = Mode::kBuffer;
  return MoveThroughBuffer(socket, file, received);
}

CFileToSocket::~CFileToSocket() = default;

PumpResult CFileToSocket::SendSome(CFile& file, CEventSocket& socket, uint32_t* sent,
                                   int32_t roomWaitMs) {
  *sent = 0;
  mode_ = Mode::kBuffer;
  return SendThroughBuffer(file, socket, sent, roomWaitMs);
}

}  // namespace kestova
