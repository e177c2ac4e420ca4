// LIST and NLST with '*' or '?' in the last path component ("mget *.bin"): the matching
// entries of the folder the other components name, never of another folder.
#include <vector>

#include "ftp/directory_listing.h"
#include "ftp/ftp_session.h"
#include "ftp/name_pattern.h"
#include "platform/time.h"

namespace kestova {

void CFtpSession::ListMatching(const FtpRequest& request, const CCountedString& target) {
  const CodePage& codePage = CodePage::System();
  // The folder part keeps its separator, so names come back as the client wrote them
  // ("sub/a.bin" for "sub/*.bin").
  size_t cut = 0;
  for (size_t at = 0; at < target.Length();
       at += codePage.CharLength(target.CStr() + at, target.Length() - at)) {
    if (target[at] == '/' || target[at] == '\\') cut = at + 1;
  }
  const CCountedString folderPart = target.Left(cut);
  const CCountedString pattern = target.Mid(cut);
  CCountedString folder;
  if (HasWildcard(folderPart, codePage)) {  // patterns name entries of one folder only
    CloseDataConnection();
    Reply(FtpReply::kFileNotFound, target);
    return;
  }
  if (!ResolveClientPath(folderPart, &folder)) {
    CloseDataConnection();
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  std::vector<DirectoryEntry> entries;
  ListDirectory(folder, &entries);
  std::vector<DirectoryEntry> matching;
  for (DirectoryEntry& entry : entries) {
    // As a shell's pattern: a leading dot is matched only by a leading dot.
    if (entry.name.StartsWith(".") && !pattern.StartsWith(".")) continue;
    if (entry.name == "." || entry.name == "..") continue;
    if (!MatchesNamePattern(pattern, entry.name, codePage)) continue;
    entry.name = CCountedString(folderPart).Append(entry.name);
    matching.push_back(entry);
  }
  if (matching.empty()) {
    CloseDataConnection();
    Reply(FtpReply::kFileNotFound, target);
    return;
  }
  SendListingText(FormatListing(matching, request.verb == "NLST", LocalTimeNow().year));
}

}  // namespace kestova
