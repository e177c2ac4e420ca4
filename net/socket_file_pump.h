// Moving a transfer's bytes between a connected stream socket and an open file, one block
// at a time, for the loops of uploads, downloads and programme receptions.
//
// On Linux the kernel moves the bytes itself: socket → file with splice(2) through a
// pipe (one block for a transfer's first block, up to 1 MiB after it; after a move that
// found little waiting, the next waits up to 100 ms for a quarter of that to gather),
// file → socket with sendfile(2). Elsewhere, where the kernel refuses
// for this socket and file (a file system without splice, say), or when the environment
// variable KESTOVA_PLAIN_TRANSFERS is 1, the bytes go through a buffer of one block
// (ReceiveFrom + Write, Read + Send). That choice is made per pump, that is per transfer,
// when its first block moves; the results are the same either way.
#pragma once

#include <cstdint>
#include <vector>

#include "net/event_socket.h"
#include "platform/file_system.h"

namespace kestova {

constexpr uint32_t kPumpBlockSize = 65536;

enum class PumpResult {
  kMoved,       // the count moved (0 after a quiet wait, or when no room came in time)
  kEnded,       // a receive: the peer closed (every byte delivered) or the receive failed;
                // a send: the whole file has gone
  kFileFailed,  // the file refused a write or a read; a written file keeps what it took
  kSendFailed,  // a send: not all of the block went out within the time-out
};

// True unless KESTOVA_PLAIN_TRANSFERS=1 asks every transfer to use the buffer.
bool KernelTransfersAllowed();

// Socket → file.
class CSocketToFile {
 public:
  CSocketToFile() = default;
  ~CSocketToFile();
  CSocketToFile(const CSocketToFile&) = delete;
  CSocketToFile& operator=(const CSocketToFile&) = delete;

  // Receives what has come, at most one block (in the kernel, after the first block, up to
  // its pipe's capacity), waiting at most the socket's default time-out as ReceiveFrom
  // does, and writes it to the file at its position. *received is the count
  // that came from the socket, also when the file then refused some of it (kFileFailed).
  PumpResult Move(CEventSocket& socket, CFile& file, uint32_t* received);
  // Whether the kernel moves this pump's blocks (known after the first Move).
  bool InKernel() const { return mode_ == Mode::kKernel; }

 private:
  enum class Mode { kUntried, kKernel, kBuffer };
  PumpResult MoveThroughBuffer(CEventSocket& socket, CFile& file, uint32_t* received);
  PumpResult MoveInKernel(CEventSocket& socket, CFile& file, uint32_t* received);  // Linux
  // Linux: raises the socket's low-water mark towards `least` (see the pump's body).
  void RaiseLowWater(int fd, size_t least);
  void ClosePipe();

  Mode mode_ = Mode::kUntried;
  bool kernelMoved_ = false;  // a block went through the kernel: no more falling back
  std::vector<char> buffer_;
  int pipe_[2] = {-1, -1};  // Linux: read and write ends of the pipe
  size_t pipeCapacity_ = 0;  // Linux: what the pipe holds (one block or more)
  bool gather_ = false;      // Linux: the last move found little: wait for more first
  size_t lowWater_ = 0;      // Linux: the socket's low-water mark as set (0: not set)
  int lowWaterRaises_ = 0;
};

// File → socket.
class CFileToSocket {
 public:
  CFileToSocket() = default;
  ~CFileToSocket();
  CFileToSocket(const CFileToSocket&) = delete;
  CFileToSocket& operator=(const CFileToSocket&) = delete;

  // Sends what the socket takes at once of the file's next bytes (through the buffer at
  // most one block; the kernel may send more),
  // waiting up to `roomWaitMs` for room, as CEventSocket::SendSome does: kMoved with
  // *sent, which is 0 when no room came in time; kEnded once every byte of the file went
  // out; kSendFailed when the connection failed or was closed; kFileFailed when the file
  // could not be read.
  PumpResult SendSome(CFile& file, CEventSocket& socket, uint32_t* sent, int32_t roomWaitMs);
  bool InKernel() const { return mode_ == Mode::kKernel; }

 private:
  enum class Mode { kUntried, kKernel, kBuffer };
  PumpResult SendThroughBuffer(CFile& file, CEventSocket& socket, uint32_t* sent,
                               int32_t roomWaitMs);
  PumpResult SendInKernel(CFile& file, CEventSocket& socket, uint32_t* sent,
                          int32_t roomWaitMs);  // Linux

  Mode mode_ = Mode::kUntried;
  bool kernelMoved_ = false;
  // Linux: sendfile has no MSG_NOSIGNAL, so the pump holds SIGPIPE back in its thread
  // while it lives and takes back a SIGPIPE it raised (a closed connection is a plain
  // failure, as for every other send).
  bool holdsSigpipe_ = false;
  std::vector<char> buffer_;
  uint32_t pendingAt_ = 0;   // the buffer's bytes read from the file and not yet sent:
  uint32_t pendingEnd_ = 0;  // [pendingAt_, pendingEnd_)
};

}  // namespace kestova
