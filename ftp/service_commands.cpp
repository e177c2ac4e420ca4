// The small informational commands: NOOP, SYST, TYPE, REST, SIZE, SITE, PWD, HELP.
#include <climits>
#include <cstdint>

#include "ftp/ftp_session.h"
#include "platform/file_system.h"

namespace kestova {
namespace {

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

void CFtpSession::OnNoop(const FtpRequest&) { Reply(FtpReply::kOk); }

void CFtpSession::OnSyst(const FtpRequest&) { Reply(FtpReply::kSystem); }

void CFtpSession::OnType(const FtpRequest& request) { Reply(FtpReply::kTypeSet, request.argument); }

void CFtpSession::OnRest(const FtpRequest& request) {
  // Kept for the next transfer command, which applies it to an ordinary file.
  restartOffset_ = LeadingInteger64(request.argument);
  Reply(FtpReply::kRestarting, restartOffset_);
}

void CFtpSession::OnSize(const FtpRequest& request) {
  // An existing file answers its size; anything else (a recorder may send a number, or
  // a name it handles itself) the number the argument begins with.
  CCountedString path;
  DirectoryEntry entry;
  if (!IsReservedName(request.argument) && ResolveClientPath(request.argument, &path) &&
      GetPathEntry(path, &entry) && !entry.isDirectory) {
    Reply(FtpReply::kSize, entry.size);
    return;
  }
  // Recorder quirk kept on purpose (docs/conventions.md): SIZE of anything else echoes a number.
  Reply(FtpReply::kSize, LeadingInteger(request.argument));
}

void CFtpSession::OnSite(const FtpRequest&) { Reply(FtpReply::kPermissionDenied); }

void CFtpSession::OnPwd(const FtpRequest&) {
  Reply(FtpReply::kCurrentDirectory, currentDirectory_);
}

void CFtpSession::OnHelp(const FtpRequest& request) {
  if (!request.argument.IsEmpty()) {
    Reply(FtpReply::kUnknownCommand, request.argument);
    return;
  }
  Reply(FtpReply::kHelp);
}

}  // namespace kestova
