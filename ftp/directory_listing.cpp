// LIST and NLST: the listing text and the command that sends it. Without a path (or
// with options only) the current directory is listed; with one, that folder or that
// one file.
#include "ftp/directory_listing.h"

#include "ftp/ftp_session.h"
#include "ftp/moving_send.h"
#include "ftp/name_pattern.h"
#include "platform/time.h"

namespace kestova {
namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

CCountedString ListingTarget(const CCountedString& argument) {
  CCountedString rest = argument;
  while (rest.StartsWith("-")) {
    const size_t space = rest.Find(' ');
    if (space == CCountedString::npos) return CCountedString();
    rest = rest.Mid(space + 1);
    while (rest.StartsWith(" ")) rest = rest.Mid(1);
  }
  return rest;
}

CCountedString FormatListLine(const DirectoryEntry& entry, int currentYear) {
  const CalendarTime& time = entry.lastWriteUtc;
  const int monthIndex = (time.month >= 1 && time.month <= 12) ? time.month - 1 : 0;
  const CCountedString timeOrYear =
      time.year == currentYear ? CCountedString::Format("%02d:%02d", time.hour, time.minute)
                               : CCountedString::Format("%d", time.year);
  CCountedString line(entry.isDirectory ? "drw-rw-rw- " : "-rw-rw-rw- ");
  line.AppendFormat("1 ftpuser ftpuser % 9lld %s % 2d  %s %s\r\n",
                    static_cast<long long>(entry.size), kMonthNames[monthIndex], time.day,
                    timeOrYear.CStr(), entry.name.CStr());
  return line;
}

CCountedString FormatListing(const std::vector<DirectoryEntry>& entries, bool namesOnly,
                             int currentYear) {
  if (entries.empty()) return CCountedString("/\r\n");
  CCountedString text;
  for (const DirectoryEntry& entry : entries) {
    if (namesOnly) {
      text.Append(entry.name).Append("\r\n");
    } else {
      text.Append(FormatListLine(entry, currentYear));
    }
  }
  return text;
}

void CFtpSession::OnList(const FtpRequest& request) {
  TakeRestartOffset();
  const CCountedString target = ListingTarget(request.argument);
  if (HasWildcard(target, CodePage::System())) {
    ListMatching(request, target);
    return;
  }
  CCountedString path;
  if (!ResolveClientPath(target, &path)) {
    CloseDataConnection();
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  std::vector<DirectoryEntry> entries;
  DirectoryEntry named;
  if (target.IsEmpty()) {
    ListDirectory(path, &entries);  // a vanished current directory lists as "/"
  } else if (!GetPathEntry(path, &named)) {
    CloseDataConnection();
    Reply(FtpReply::kFileNotFound, target);
    return;
  } else if (named.isDirectory) {
    ListDirectory(path, &entries);
  } else {
    entries.push_back(named);
  }
  SendListingText(FormatListing(entries, request.verb == "NLST", LocalTimeNow().year));
}

void CFtpSession::SendListingText(const CCountedString& listing) {
  Reply(FtpReply::kOpeningAscii);
  if (!OpenDataConnection()) {  // its own reply (425 or 421) is the final one
    CloseDataConnection();
    return;
  }
  loginState_ = kSendingList;
  const SendOutcome outcome =
      SendWhileMoving(dataConnection_, listing.CStr(), static_cast<uint32_t>(listing.Length()),
                      [this] { return ClientStillThere(); });
  CloseDataConnection();
  Reply(outcome == SendOutcome::kSent ? FtpReply::kTransferComplete : FtpReply::kTransferAborted);
  loginState_ = kLoggedIn;
}

}  // namespace kestova
