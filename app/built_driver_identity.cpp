#include "app/built_driver_identity.h"

#include "app/resource.h"
#include "app/window_helpers.h"
#include "ui/application.h"

namespace kestova {

std::string BuiltDriverIdentity() {
  HMODULE module = ResourceInstance();
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_DRIVER_IDENTITY), RT_RCDATA);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return "none";
  // windres stores the quoted text without its terminating zero.
  std::string identity(bytes, SizeofResource(module, found));
  while (!identity.empty() && identity.back() == '\0') identity.pop_back();
  return identity;
}

}  // namespace kestova
