// Inside ui/ only: the one place where exceptions stop before they would cross a window or
// dialog procedure (which the system calls, and which no C++ exception may leave).
#pragma once

#include <exception>

namespace kestova {

// Reports a handler that failed through the debugger's output: "KESTOV-A: <where>
// failed: <what>".
void ReportHandlerFailure(const char* where, const char* what);

// Runs `step`; an exception it throws is reported (naming `where`) and ends there. True
// when `step` returned normally.
template <typename Step>
bool RunGuarded(const char* where, Step step) noexcept {
  try {
    step();
    return true;
  } catch (const std::exception& failure) {
    ReportHandlerFailure(where, failure.what());
  } catch (...) {
    ReportHandlerFailure(where, "unknown exception");
  }
  return false;
}

}  // namespace kestova
