// Waiting on a POSIX descriptor with a time-out, for the socket layer's bodies: a deadline
// on the monotonic clock and poll() that resumes after an interruption with the time left.
#pragma once

#include <cstdint>

namespace kestova {

int64_t MonotonicMs();

// A deadline for one operation; a negative time-out waits without end, as poll() does.
class Deadline {
 public:
  explicit Deadline(int32_t timeoutMs)
      : endless_(timeoutMs < 0), end_(MonotonicMs() + (timeoutMs < 0 ? 0 : timeoutMs)) {}
  // Milliseconds left for poll(): -1 without end, 0 once the deadline has passed.
  int Remaining() const;

 private:
  bool endless_;
  int64_t end_;
};

// Waits until `events` occur on `fd` or the deadline passes. Returns the reported events,
// 0 on time-out, -1 on a poll failure.
int WaitFor(int fd, short events, const Deadline& deadline);

// Sets O_NONBLOCK unless it is set already; false when it cannot be set.
bool MakeNonBlocking(int fd);

}  // namespace kestova
