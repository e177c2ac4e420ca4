// [Capture] Method= of the settings file beside the executable.
#include <cstring>

#include "base/counted_string.h"
#include "capture/win32/capture_client.h"
#include "platform/settings.h"

namespace kestova {
namespace {

struct MethodName {
  const char* name;
  CCaptureClient::Method method;
};
constexpr MethodName kMethodNames[] = {
    {"driver", CCaptureClient::Method::kDriver},
    {"raw", CCaptureClient::Method::kRaw},
    {"socket", CCaptureClient::Method::kSocket},
    {"auto", CCaptureClient::Method::kAuto},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ParseCaptureMethod(const char* text, CCaptureClient::Method* method) {
  if (text == nullptr) return false;
  while (IsBlank(*text)) ++text;
  size_t length = std::strlen(text);
  while (length > 0 && IsBlank(text[length - 1])) --length;
  for (const MethodName& entry : kMethodNames) {
    if (std::strlen(entry.name) != length) continue;
    size_t i = 0;
    while (i < length && AsciiLower(text[i]) == entry.name[i]) ++i;
    if (i == length) {
      *method = entry.method;
      return true;
    }
  }
  return false;
}

const char* CaptureMethodName(CCaptureClient::Method method) {
  for (const MethodName& entry : kMethodNames) {
    if (entry.method == method) return entry.name;
  }
  return "driver";
}

CCaptureClient::Method ReadCaptureMethodSetting() {
  CCountedString text;
  ReadSetting("Capture", "Method", "auto", &text);
  CCaptureClient::Method method = CCaptureClient::Method::kAuto;
  ParseCaptureMethod(text.CStr(), &method);
  return method;
}

}  // namespace kestova
