#include "ftp/machine_listing.h"

namespace kestova {
namespace {

// The decimal value of text[at, at + digits); -1 when any of them is no digit.
int ReadNumber(const CCountedString& text, size_t at, size_t digits) {
  int value = 0;
  for (size_t i = at; i < at + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

CCountedString FormatFactTime(const CalendarTime& utc) {
  return CCountedString::Format("%04d%02d%02d%02d%02d%02d", utc.year, utc.month, utc.day, utc.hour,
                                utc.minute, utc.second);
}

bool ParseFactTime(const CCountedString& text, CalendarTime* utc) {
  if (text.Length() < 14) return false;
  if (text.Length() > 14) {
    if (text[14] != '.' || text.Length() == 15) return false;
    for (size_t i = 15; i < text.Length(); ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
    }
  }
  CalendarTime time;
  time.year = ReadNumber(text, 0, 4);
  time.month = ReadNumber(text, 4, 2);
  time.day = ReadNumber(text, 6, 2);
  time.hour = ReadNumber(text, 8, 2);
  time.minute = ReadNumber(text, 10, 2);
  time.second = ReadNumber(text, 12, 2);
  // Years a file system stores on every system (Windows counts from 1601, time_t of
  // 32-bit systems ends in 2038 without the 64-bit time interfaces this build uses).
  if (!InRange(time.year, 1970, 9999) || !InRange(time.month, 1, 12) || !InRange(time.day, 1, 31) ||
      !InRange(time.hour, 0, 23) || !InRange(time.minute, 0, 59) || !InRange(time.second, 0, 60)) {
    return false;
  }
  if (time.second == 60) time.second = 59;  // a leap second is kept as the second before
  *utc = time;
  return true;
}

CCountedString FormatFacts(const DirectoryEntry& entry, OrdinaryClientAccess access) {
  const bool writable = access == OrdinaryClientAccess::kFull;
  if (entry.isDirectory) {
    return CCountedString::Format("type=dir;modify=%s;perm=%s;",
                                  FormatFactTime(entry.lastWriteUtc).CStr(),
                                  writable ? "cdeflmp" : "el");
  }
  return CCountedString::Format(
      "type=file;size=%llu;modify=%s;perm=%s;", static_cast<unsigned long long>(entry.size),
      FormatFactTime(entry.lastWriteUtc).CStr(), writable ? "adfrw" : "r");
}

CCountedString FormatMachineLine(const DirectoryEntry& entry, OrdinaryClientAccess access) {
  CCountedString line = FormatFacts(entry, access);
  line.Append(" ").Append(entry.name).Append("\r\n");
  return line;
}

}  // namespace kestova
