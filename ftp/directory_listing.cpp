// LIST and NLST: the listing text and the command that sends it.
#include "ftp/directory_listing.h"

#include "ftp/ftp_session.h"
#include "platform/time.h"

namespace kestova {
namespace {

const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

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

void CFtpSession::OnList(CCountedString command, CCountedString, CCountedString) {
  CCountedString directory;
  if (!ResolveInsideRoot(LocalDirectory(), &directory)) {
    CloseDataConnection();
    Reply("550 Permission denied.");
    return;
  }
  std::vector<DirectoryEntry> entries;
  ListDirectory(directory, &entries);
  const CCountedString listing = FormatListing(entries, command == "NLST", LocalTimeNow().year);

  Reply("150 Opening ASCII mode data connection for directory list.");
  if (!OpenDataConnection()) {
    CloseDataConnection();
    return;
  }
  loginState_ = kSendingList;
  dataConnection_.Send(listing.CStr(), static_cast<uint32_t>(listing.Length()));
  CloseDataConnection();
  Reply("226 Transfer complete");
  loginState_ = kLoggedIn;
}

}  // namespace kestova
