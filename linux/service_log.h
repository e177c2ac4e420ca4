// The service's plain-line log: one line per event, "YYYY-MM-DD HH:MM:SS text", the
// style the receive list uses when its output is not a terminal.
//
// Lines go to one sink (standard output by default; main() routes them through the
// receive list so that they do not tear a live terminal drawing). Any thread may log;
// each line is written whole.
#pragma once

#include <string>

namespace kestova {

enum class LogLevel { kNormal, kVerbose };

// Where whole lines go (without the time stamp and without a line end).
using LogSink = void (*)(const std::string& line, void* context);

class CServiceLog {
 public:
  static CServiceLog& Instance();

  void SetSink(LogSink sink, void* context);
  void SetVerbose(bool verbose);
  bool Verbose() const;

  // Writes `text` with a time stamp when `level` is shown.
  void Write(LogLevel level, const std::string& text);

 private:
  CServiceLog() = default;
};

// The printf-free shorthand for CServiceLog::Instance().Write(level, text).
void LogLine(const std::string& text, LogLevel level = LogLevel::kNormal);

// "YYYY-MM-DD HH:MM:SS " of the local time now.
std::string LogTimeStamp();

}  // namespace kestova
