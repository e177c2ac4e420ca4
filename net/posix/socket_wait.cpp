#include "net/posix/socket_wait.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <time.h>

namespace kestova {

int64_t MonotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int Deadline::Remaining() const {
  if (endless_) return -1;
  const int64_t left = end_ - MonotonicMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

int WaitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd entry = {fd, events, 0};
    const int result = poll(&entry, 1, deadline.Remaining());
    if (result > 0) return entry.revents;
    if (result == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

bool MakeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  return (flags & O_NONBLOCK) != 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace kestova
