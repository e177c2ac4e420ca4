#include "platform/module.h"

#include <windows.h>

namespace kestova {

CCountedString GetModulePath() {
  // The classic path limit: MAX_PATH bytes, at most 259 characters and the NUL.
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return CCountedString();  // failed or cut short
  return CCountedString(buffer, length);
}

}  // namespace kestova
