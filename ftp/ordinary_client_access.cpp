#include "ftp/ordinary_client_access.h"

#include "base/counted_string.h"
#include "platform/settings.h"

namespace kestova {
namespace {

// A port number 1-65535 of decimal digits only.
bool ParsePortNumber(const CCountedString& text, uint16_t* port) {
  if (text.IsEmpty() || text.Length() > 5) return false;
  uint32_t value = 0;
  for (size_t i = 0; i < text.Length(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

bool IsOneOf(const char* verb, const char* const* words) {
  for (; *words != nullptr; ++words) {
    if (CCountedString(verb) == *words) return true;
  }
  return false;
}

}  // namespace

bool AccessRefuses(OrdinaryClientAccess access, const char* verb) {
  static const char* const kChanging[] = {"STOR", "APPE", "DELE", "RNFR", "RNTO", "MKD",
                                          "XMKD", "RMD",  "XRMD", "MFMT", nullptr};
  static const char* const kReading[] = {"RETR", "LIST", "NLST", "MLSD", "MLST",
                                         "SIZE", "MDTM", "CWD",  "XCWD", nullptr};
  switch (access) {
    case OrdinaryClientAccess::kFull:
      return false;
    case OrdinaryClientAccess::kReadOnly:
      return IsOneOf(verb, kChanging);
    case OrdinaryClientAccess::kNone:
      return IsOneOf(verb, kChanging) || IsOneOf(verb, kReading);
  }
  return false;
}

bool ParseOrdinaryClientAccess(const char* text, OrdinaryClientAccess* access) {
  const CCountedString word = CCountedString(text).Trim();
  if (word == "full") {
    *access = OrdinaryClientAccess::kFull;
  } else if (word == "read-only") {
    *access = OrdinaryClientAccess::kReadOnly;
  } else if (word == "none") {
    *access = OrdinaryClientAccess::kNone;
  } else {
    return false;
  }
  return true;
}

const char* OrdinaryClientAccessName(OrdinaryClientAccess access) {
  switch (access) {
    case OrdinaryClientAccess::kReadOnly:
      return "read-only";
    case OrdinaryClientAccess::kNone:
      return "none";
    case OrdinaryClientAccess::kFull:
      break;
  }
  return "full";
}

bool ParsePassivePortRange(const char* text, PassivePortRange* range) {
  const CCountedString whole = CCountedString(text).Trim();
  const size_t dash = whole.Find('-');
  if (dash == CCountedString::npos) return false;
  PassivePortRange parsed;
  if (!ParsePortNumber(whole.Left(dash), &parsed.low) ||
      !ParsePortNumber(whole.Mid(dash + 1), &parsed.high) || parsed.low > parsed.high) {
    return false;
  }
  *range = parsed;
  return true;
}

OrdinaryClientAccess ReadOrdinaryClientAccessSetting() {
  CCountedString text;
  OrdinaryClientAccess access = OrdinaryClientAccess::kFull;
  if (ReadSetting("Ftp", "OrdinaryClients", "", &text) > 0) {
    ParseOrdinaryClientAccess(text.CStr(), &access);
  }
  return access;
}

PassivePortRange ReadPassivePortSetting() {
  CCountedString text;
  PassivePortRange range;
  if (ReadSetting("Ftp", "PassivePorts", "", &text) > 0) ParsePassivePortRange(text.CStr(), &range);
  return range;
}

}  // namespace kestova
