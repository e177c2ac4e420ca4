#include "platform/time.h"

#include <errno.h>
#include <time.h>

namespace kestova {

uint32_t TickCountMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t milliseconds) {
  timespec wait{};
  wait.tv_sec = static_cast<time_t>(milliseconds / 1000u);
  wait.tv_nsec = static_cast<long>(milliseconds % 1000u) * 1000000L;
  // A signal cuts the sleep short; the rest is slept.
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

CalendarTime LocalTimeNow() {
  const time_t now = time(nullptr);
  tm local{};
  CalendarTime result;
  if (localtime_r(&now, &local) == nullptr) return result;
  result.year = local.tm_year + 1900;
  result.month = local.tm_mon + 1;
  result.day = local.tm_mday;
  result.hour = local.tm_hour;
  result.minute = local.tm_min;
  result.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second shows as :59
  return result;
}

}  // namespace kestova
