// The small informational commands: NOOP, SYST, TYPE, REST, SIZE, SITE, PWD, HELP.
#include <climits>
#include <cstdint>

#include "ftp/ftp_session.h"
#include "platform/file_system.h"

namespace kestova {
namespace {

const char kHelpText[] =
    "214-The following commands are recognized:\r\n"
    "ABOR\tAPPE\tBYE\tCDUP\r\n"
    "CWD\tDELE\tHELP\tLIST\r\n"
    "MKD\tNLST\tNOOP\tPASS\r\n"
    "PASV\tP@SW\tPORT\tPWD\r\n"
    "QUIT\tREST\tRETR\tRMD\r\n"
    "RNFR\tRNTO\tSITE\tSIZE\r\n"
    "STOR\tSYST\tTYPE\tUSER\r\n"
    "XCWD\tXMKD\tXPWD\tXRMD\r\n"
    "214 HELP command successful.";

// Leading white space, an optional sign, then decimal digits up to the first
// non-digit; 0 without digits. Saturates at the limits of int.
int LeadingInteger(const CCountedString& text) {
  size_t i = 0;
  const size_t length = text.Length();
  while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

// The same reading as LeadingInteger over the whole 64-bit range (a restart offset
// into a file larger than 2 GiB).
int64_t LeadingInteger64(const CCountedString& text) {
  size_t i = 0;
  const size_t length = text.Length();
  while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t value = 0;
  const uint64_t limit = static_cast<uint64_t>(INT64_MAX);
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

}  // namespace

void CFtpSession::OnNoop(CCountedString, CCountedString, CCountedString) { Reply("200 OK"); }

void CFtpSession::OnSyst(CCountedString, CCountedString, CCountedString) {
  Reply("215 UNIX emulated by KESTOV-A FTP Server.");
}

void CFtpSession::OnType(CCountedString, CCountedString argument, CCountedString) {
  Reply("200 Type set to %s", argument.CStr());
}

void CFtpSession::OnRest(CCountedString, CCountedString argument, CCountedString) {
  // Kept for the next transfer command, which applies it to an ordinary file.
  restartOffset_ = LeadingInteger64(argument);
  Reply("350 Restarting at %lld.", static_cast<long long>(restartOffset_));
}

void CFtpSession::OnSize(CCountedString, CCountedString argument, CCountedString) {
  // An existing file answers its size; anything else (a recorder may send a number, or
  // a name it handles itself) the number the argument begins with.
  CCountedString path;
  DirectoryEntry entry;
  if (!IsReservedName(argument) && ResolveClientPath(argument, &path) &&
      GetPathEntry(path, &entry) && !entry.isDirectory) {
    Reply("213 %llu", static_cast<unsigned long long>(entry.size));
    return;
  }
  // Recorder quirk kept on purpose (docs/conventions.md): SIZE of anything else echoes a number.
  Reply("213 %d", LeadingInteger(argument));
}

void CFtpSession::OnSite(CCountedString, CCountedString, CCountedString) {
  Reply("550 Permission denied.");
}

void CFtpSession::OnPwd(CCountedString, CCountedString, CCountedString) {
  Reply("257 \"%s\" is current directory.", currentDirectory_.CStr());
}

void CFtpSession::OnHelp(CCountedString, CCountedString argument, CCountedString) {
  if (!argument.IsEmpty()) {
    Reply("501 Unknown command %s", argument.CStr());
    return;
  }
  Reply("%s", kHelpText);
}

}  // namespace kestova
