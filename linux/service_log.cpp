#include "linux/service_log.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace kestova {
namespace {

std::mutex g_mutex;
LogSink g_sink = nullptr;
void* g_context = nullptr;
std::atomic<bool> g_verbose{false};

}  // namespace

CServiceLog& CServiceLog::Instance() {
  static CServiceLog log;
  return log;
}

void CServiceLog::SetSink(LogSink sink, void* context) {
  std::lock_guard<std::mutex> hold(g_mutex);
  g_sink = sink;
  g_context = context;
}

void CServiceLog::SetVerbose(bool verbose) { g_verbose.store(verbose); }

bool CServiceLog::Verbose() const { return g_verbose.load(); }

void CServiceLog::Write(LogLevel level, const std::string& text) {
  if (level == LogLevel::kVerbose && !g_verbose.load()) return;
  std::lock_guard<std::mutex> hold(g_mutex);
  if (g_sink != nullptr) {
    g_sink(text, g_context);
    return;
  }
  const std::string line = LogTimeStamp() + text + "\n";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
}

void LogLine(const std::string& text, LogLevel level) {
  CServiceLog::Instance().Write(level, text);
}

std::string LogTimeStamp() {
  std::time_t now = std::time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S ", &local);
  return stamp;
}

}  // namespace kestova
