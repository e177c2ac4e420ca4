// Clocks, sleeping and calendar time.
#pragma once

#include <cstdint>

namespace kestova {

// Milliseconds since an arbitrary start, wrapping at 2^32; compare two readings by
// unsigned subtraction.
uint32_t TickCountMs();

void SleepMs(uint32_t milliseconds);

struct CalendarTime {
  int year = 0;    // e.g. 2026
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-59
};

// The current local time of day.
CalendarTime LocalTimeNow();

}  // namespace kestova
