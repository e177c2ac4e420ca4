// The pumps on POSIX. On Linux the kernel moves the bytes: socket → pipe → file with
// splice(2), file → socket with sendfile(2); each step waits as the socket layer does
// (try first, poll only when it would block). Where the kernel refuses the first move of
// a transfer, the pump falls back to the buffer for the rest of that transfer.
#include "net/socket_file_pump.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/sendfile.h>
#include <sys/socket.h>
#endif

#include "net/posix/socket_wait.h"
#include "platform/file_faults.h"

namespace kestova {

namespace {

#ifdef __linux__
// The most one sendfile call is asked to send, and the pipe a socket → file move asks
// for. Moving 1 MiB per pair of splice calls rather than one block is what lets the
// kernel's move beat a copying loop of 64 KiB blocks; where the system grants less
// (pipe-max-size, the user's pipe pages), the pipe keeps what it has.
constexpr size_t kSendFileMost = 1 << 20;
constexpr int kPipeMost = 1 << 20;

// Gathering: a move that found less than kGatherLeast waiting (at most the pipe) makes the
// next one first wait, at most kGatherWaitMs, until that much has come. A sender slower
// than the service (a recorder on a LAN, a sender that writes small pieces) would
// otherwise be followed piece by piece, two splices and a wake-up for each; gathered, the
// same bytes move in a few large steps. The wait is the socket's low-water mark
// (SO_RCVLOWAT) seen through poll(): an end, an error or a full receive window wakes it
// too, and it is short enough for a stop, the silence limit and the progress shown.
constexpr size_t kGatherLeast = 256 << 10;
constexpr int kGatherWaitMs = 100;
// How often the low-water mark may be raised towards kGatherLeast as the kernel grows the
// socket's receive buffer; it stays at most a quarter of that buffer, so that setting it
// never makes the kernel clamp the connection's window and the sender keeps room to send
// while the bytes gather.
constexpr int kLowWaterRaises = 8;

// The kernel has no such move for this pair of descriptors.
bool Refused(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// The socket's own failure behind a move's `error` (rather than the file's): `error` when
// it is the connection's, else what the socket holds; 0 when the socket has not failed.
int SocketFailure(int fd, int error) {
  if (error == EPIPE || error == ECONNRESET || error == ENOTCONN) return error;
  int pending = 0;
  socklen_t length = sizeof(pending);
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) return errno;
  return pending;
}
#endif

}  // namespace

CSocketToFile::~CSocketToFile() { ClosePipe(); }

void CSocketToFile::ClosePipe() {
  for (int& end : pipe_) {
    if (end >= 0) close(end);
    end = -1;
  }
}

PumpResult CSocketToFile::Move(CEventSocket& socket, CFile& file, uint32_t* received) {
  *received = 0;
  socket.endedInOrder_ = false;
#ifdef __linux__
  if (mode_ == Mode::kUntried) {
    mode_ = Mode::kBuffer;
    if (KernelTransfersAllowed() && socket.IsValid() && file.IsOpen() &&
        MakeNonBlocking(socket.Handle()) && pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
      if (fcntl(pipe_[1], F_SETPIPE_SZ, kPipeMost) < 0) {
        fcntl(pipe_[1], F_SETPIPE_SZ, static_cast<int>(kPumpBlockSize));  // else the default
      }
      const int capacity = fcntl(pipe_[1], F_GETPIPE_SZ);
      pipeCapacity_ = capacity > 0 ? static_cast<size_t>(capacity) : kPumpBlockSize;
      mode_ = Mode::kKernel;
    }
  }
  if (mode_ == Mode::kKernel) return MoveInKernel(socket, file, received);
#endif
  return MoveThroughBuffer(socket, file, received);
}

#ifdef __linux__
PumpResult CSocketToFile::MoveInKernel(CEventSocket& socket, CFile& file, uint32_t* received) {
  const int fd = socket.Handle();
  const Deadline deadline(socket.DefaultTimeout());
  bool waited = false;
  ssize_t got;
  // One block until the file has taken one by splice: a file that refuses it leaves at
  // most one block in the pipe for the buffer to take over.
  const size_t most = kernelMoved_ ? pipeCapacity_ : kPumpBlockSize;
  if (gather_) {
    const int32_t timeout = socket.DefaultTimeout();
    const int events = WaitFor(fd, POLLIN,
                               Deadline(timeout >= 0 && timeout < kGatherWaitMs ? timeout
                                                                               : kGatherWaitMs));
    if (events < 0) {
      socket.NoteFailure(errno);
      return PumpResult::kEnded;
    }
  }
  for (;;) {
    got = splice(fd, nullptr, pipe_[1], nullptr, most, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
    if (got >= 0) break;
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      if (waited) return PumpResult::kMoved;  // a false alarm reads as a quiet connection
      const int events = WaitFor(fd, POLLIN, deadline);
      if (events < 0) {
        socket.NoteFailure(errno);
        return PumpResult::kEnded;
      }
      // A quiet connection is not an error. Under a low-water mark, bytes below it may
      // have come meanwhile: they are taken now rather than a wait later.
      if (events == 0 && lowWater_ == 0) return PumpResult::kMoved;
      waited = true;
      continue;
    }
    if (Refused(errno) && !kernelMoved_) {
      ClosePipe();
      mode_ = Mode::kBuffer;
      return MoveThroughBuffer(socket, file, received);
    }
    socket.NoteFailure(errno);  // an error: not an orderly end
    return PumpResult::kEnded;
  }
  if (got == 0) {  // the peer closed, every byte delivered
    socket.endedInOrder_ = true;
    return PumpResult::kEnded;
  }
  *received = static_cast<uint32_t>(got);
  size_t left = static_cast<size_t>(got);
  // A test's file fault (platform/file_faults.h) may let only part of the block in.
  uint32_t fits = static_cast<uint32_t>(left);
  const int fault = InjectedFileFault(FileOperation::kWrite, &fits);
  if (fault != 0) left = fits;
  while (left > 0) {
    const ssize_t put =
        splice(pipe_[0], nullptr, file.NativeHandle(), nullptr, left, SPLICE_F_MOVE);
    if (put > 0) {
      left -= static_cast<size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && Refused(errno) && !kernelMoved_ && left == static_cast<size_t>(got)) {
      // The file system takes no splice: the block is still whole in the pipe; it and
      // the rest of the transfer go through the buffer.
      buffer_.resize(kPumpBlockSize);
      size_t taken = 0;
      while (taken < left) {
        const ssize_t part = read(pipe_[0], buffer_.data() + taken, left - taken);
        if (part < 0 && errno == EINTR) continue;
        if (part <= 0) break;
        taken += static_cast<size_t>(part);
      }
      ClosePipe();
      mode_ = Mode::kBuffer;
      if (taken != left || !file.Write(buffer_.data(), static_cast<uint32_t>(taken))) {
        return PumpResult::kFileFailed;
      }
      return PumpResult::kMoved;
    }
    // A full disk, a size limit, a failing device: the file keeps what it took, the
    // rest is dropped with the pipe (a later Move starts with a fresh one).
    file.NoteFailure(put < 0 ? errno : ENOSPC);
    ClosePipe();
    mode_ = Mode::kBuffer;
    return PumpResult::kFileFailed;
  }
  if (fault != 0) {
    file.NoteFailure(fault);
    ClosePipe();
    mode_ = Mode::kBuffer;
    return PumpResult::kFileFailed;
  }
  kernelMoved_ = true;
  const size_t least = pipeCapacity_ < kGatherLeast ? pipeCapacity_ : kGatherLeast;
  gather_ = static_cast<size_t>(got) < least;
  if (gather_) RaiseLowWater(fd, least);
  return PumpResult::kMoved;
}

void CSocketToFile::RaiseLowWater(int fd, size_t least) {
  if (lowWater_ >= least || lowWaterRaises_ >= kLowWaterRaises) return;
  ++lowWaterRaises_;
  int buffer = 0;
  socklen_t length = sizeof(buffer);
  if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, &length) != 0 || buffer <= 0) return;
  const size_t quarter = static_cast<size_t>(buffer) / 4;
  const int mark = static_cast<int>(quarter < least ? quarter : least);
  if (static_cast<size_t>(mark) <= lowWater_) return;
  if (setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &mark, sizeof(mark)) == 0) {
    lowWater_ = static_cast<size_t>(mark);
  }
}
#endif

CFileToSocket::~CFileToSocket() {
  if (!holdsSigpipe_) return;
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigset_t pending;
  if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
    const timespec now = {0, 0};
    sigtimedwait(&pipe, nullptr, &now);
  }
  pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
}

PumpResult CFileToSocket::SendSome(CFile& file, CEventSocket& socket, uint32_t* sent,
                                   int32_t roomWaitMs) {
  *sent = 0;
#ifdef __linux__
  if (mode_ == Mode::kUntried) {
    const bool kernel = KernelTransfersAllowed() && socket.IsValid() && file.IsOpen() &&
                        MakeNonBlocking(socket.Handle());
    mode_ = kernel ? Mode::kKernel : Mode::kBuffer;
    if (kernel) {
      // Held only where it was not held already (nor pending, which is not ours to take).
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      sigset_t previous;
      sigset_t pending;
      if (pthread_sigmask(SIG_BLOCK, &pipe, &previous) == 0) {
        holdsSigpipe_ = sigismember(&previous, SIGPIPE) == 0 && sigpending(&pending) == 0 &&
                        sigismember(&pending, SIGPIPE) == 0;
        if (!holdsSigpipe_ && sigismember(&previous, SIGPIPE) == 0) {
          pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
        }
      }
    }
  }
  if (mode_ == Mode::kKernel) return SendInKernel(file, socket, sent, roomWaitMs);
#endif
  return SendThroughBuffer(file, socket, sent, roomWaitMs);
}

#ifdef __linux__
PumpResult CFileToSocket::SendInKernel(CFile& file, CEventSocket& socket, uint32_t* sent,
                                       int32_t roomWaitMs) {
  const int fd = socket.Handle();
  const Deadline deadline(roomWaitMs == 0 ? socket.DefaultTimeout() : roomWaitMs);
  for (;;) {
    // Without an offset, sendfile reads from the file's position and advances it. No
    // buffer limits the count: the socket takes what it has room for, so asking for more
    // than a block only saves calls.
    const ssize_t put = sendfile(fd, file.NativeHandle(), nullptr, kSendFileMost);
    if (put > 0) {
      kernelMoved_ = true;
      *sent = static_cast<uint32_t>(put);
      return PumpResult::kMoved;
    }
    if (put == 0) return PumpResult::kEnded;  // the end of the file
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      const int events = WaitFor(fd, POLLOUT, deadline);
      if (events == 0) return PumpResult::kMoved;  // no room within the wait
      if (events < 0) {
        socket.NoteFailure(errno);
        return PumpResult::kSendFailed;
      }
      continue;  // room, or an error the next sendfile reports
    }
    if (Refused(errno) && !kernelMoved_) {
      mode_ = Mode::kBuffer;
      return SendThroughBuffer(file, socket, sent, roomWaitMs);
    }
    const int error = errno;
    const int socketError = SocketFailure(fd, error);
    if (socketError != 0) {
      socket.NoteFailure(socketError);
      return PumpResult::kSendFailed;
    }
    file.NoteFailure(error);
    return PumpResult::kFileFailed;
  }
}
#endif

}  // namespace kestova
