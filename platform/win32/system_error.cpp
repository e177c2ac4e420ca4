#include "platform/system_error.h"

#include <windows.h>

namespace kestova {

SystemError SystemErrorOf(int code) {
  SystemError error;
  error.code = code;
  if (code == 0) return error;
  char buffer[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, buffer, sizeof(buffer), nullptr);
  error.text = CCountedString(buffer, length);
  while (error.text.EndsWith("\n") || error.text.EndsWith("\r") || error.text.EndsWith(".") ||
         error.text.EndsWith(" ")) {
    error.text.Truncate(error.text.Length() - 1);
  }
  if (error.text.IsEmpty()) error.text = CCountedString::Format("error %d", code);
  return error;
}

}  // namespace kestova
