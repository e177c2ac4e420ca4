#include "platform/system_error.h"

#include <string.h>

namespace kestova {
namespace {

// strerror_r has two forms; each overload takes the one the C library declares.
[[maybe_unused]] const char* TextOf(int result, const char* buffer) { return result == 0 ? buffer : ""; }
[[maybe_unused]] const char* TextOf(const char* result, const char*) { return result; }

}  // namespace

SystemError SystemErrorOf(int code) {
  SystemError error;
  error.code = code;
  if (code == 0) return error;
  char buffer[256] = {};
  error.text = TextOf(strerror_r(code, buffer, sizeof(buffer)), buffer);
  if (error.text.IsEmpty()) error.text = CCountedString::Format("error %d", code);
  return error;
}

}  // namespace kestova
