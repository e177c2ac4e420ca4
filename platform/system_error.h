// SystemError: why the system refused an operation, kept as a value (the way a status
// object is): the system's code (errno on POSIX, the Win32 or Winsock error code on
// Windows) and the system's own text for it, e.g. "Read-only file system".
//
// Objects over system resources (CFile, CEventSocket) keep the error of their last
// failed operation; callers that report a failure read it from there.
#pragma once

#include "base/counted_string.h"

namespace kestova {

struct SystemError {
  int code = 0;         // 0: no failure kept
  CCountedString text;  // empty when code is 0; no trailing period or line break

  bool IsSet() const { return code != 0; }
};

// The error of `code` with the system's text for it (never empty for a code other than 0).
SystemError SystemErrorOf(int code);

}  // namespace kestova
