#include "ftp/session_limit_settings.h"

#include "platform/settings.h"

namespace kestova {
namespace {

constexpr uint32_t kMaxSessionsLimit = 100000;
constexpr uint32_t kIdleTimeoutLimitSeconds = 86400;

// A decimal number from 0 to `maximum` (white space around it allowed), else `fallback`.
uint32_t ParseCount(const char* text, uint32_t maximum, uint32_t fallback) {
  if (text == nullptr) return fallback;
  const CCountedString trimmed = CCountedString(text).Trim();
  if (trimmed.IsEmpty() || trimmed.Length() > 9) return fallback;
  uint32_t value = 0;
  for (size_t i = 0; i < trimmed.Length(); ++i) {
    if (trimmed[i] < '0' || trimmed[i] > '9') return fallback;
    value = value * 10u + static_cast<uint32_t>(trimmed[i] - '0');
  }
  return value <= maximum ? value : fallback;
}

}  // namespace

FtpSessionLimits ParseSessionLimits(const char* maxSessions, const char* maxPerAddress,
                                    const char* idleTimeoutSeconds) {
  const FtpSessionLimits defaults;
  FtpSessionLimits limits;
  limits.total = static_cast<int32_t>(
      ParseCount(maxSessions, kMaxSessionsLimit, static_cast<uint32_t>(defaults.total)));
  limits.perAddress = static_cast<int32_t>(
      ParseCount(maxPerAddress, kMaxSessionsLimit, static_cast<uint32_t>(defaults.perAddress)));
  limits.idleTimeoutMs =
      ParseCount(idleTimeoutSeconds, kIdleTimeoutLimitSeconds, defaults.idleTimeoutMs / 1000u) *
      1000u;
  return limits;
}

FtpSessionLimits ReadSessionLimitSettings() {
  CCountedString texts[3];
  const char* keys[3] = {"MaxSessions", "MaxPerAddress", "IdleTimeout"};
  const char* values[3] = {nullptr, nullptr, nullptr};
  for (int i = 0; i < 3; ++i) {
    // An empty default tells a missing key from any value.
    if (ReadSetting("Ftp", keys[i], "", &texts[i]) > 0) values[i] = texts[i].CStr();
  }
  return ParseSessionLimits(values[0], values[1], values[2]);
}

}  // namespace kestova
