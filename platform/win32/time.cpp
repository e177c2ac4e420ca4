#include "platform/time.h"

#include <windows.h>

namespace kestova {

uint32_t TickCountMs() { return GetTickCount(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

CalendarTime LocalTimeNow() {
  SYSTEMTIME local;
  GetLocalTime(&local);
  CalendarTime result;
  result.year = local.wYear;
  result.month = local.wMonth;
  result.day = local.wDay;
  result.hour = local.wHour;
  result.minute = local.wMinute;
  result.second = local.wSecond;
  return result;
}

}  // namespace kestova
