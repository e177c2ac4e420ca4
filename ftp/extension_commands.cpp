// FEAT, OPTS, MLSD, MLST, MDTM and MFMT: what clients of today ask before they list,
// mirror or keep modification times.
#include <vector>

#include "ftp/file_name_encoding.h"
#include "ftp/ftp_session.h"
#include "ftp/machine_listing.h"

namespace kestova {
namespace {

// The path a machine listing names: the argument, or "." for the current directory.
CCountedString ShownPath(const CCountedString& argument) {
  return argument.IsEmpty() ? CCountedString(".") : argument;
}

}  // namespace

bool CFtpSession::FindClientEntry(const CCountedString& name, const CCountedString& shown,
                                  bool plainFileOnly, CCountedString* path,
                                  DirectoryEntry* entry) {
  if (!ResolveClientPath(name, path)) {
    Reply(FtpReply::kPermissionDenied);
    return false;
  }
  if (!GetPathEntry(*path, entry)) {
    Reply(FtpReply::kFileNotFound, shown);
    return false;
  }
  if (plainFileOnly && entry->isDirectory) {
    Reply(FtpReply::kNotAPlainFile, shown);
    return false;
  }
  return true;
}

void CFtpSession::OnFeat(const FtpRequest&) {
  Reply(FileNamesAreUtf8() ? FtpReply::kFeatures : FtpReply::kFeaturesWithoutUtf8);
}

void CFtpSession::OnOpts(const FtpRequest& request) {
  CCountedString option = request.argument;
  option.Trim();
  option.MakeUpper();
  if (FileNamesAreUtf8() && (option == "UTF8 ON" || option == "UTF8")) {
    Reply(FtpReply::kUtf8On);
    return;
  }
  Reply(FtpReply::kOptionNotUnderstood);
}

void CFtpSession::OnMlsd(const FtpRequest& request) {
  TakeRestartOffset();
  CCountedString path;
  if (!ResolveClientPath(request.argument, &path)) {
    CloseDataConnection();
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (!IsDirectory(path)) {
    CloseDataConnection();
    Reply(FtpReply::kDirectoryNotFound, ShownPath(request.argument));
    return;
  }
  std::vector<DirectoryEntry> entries;
  ListDirectory(path, &entries);
  CCountedString listing;
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    listing.Append(FormatMachineLine(entry, access_));
  }
  SendListingText(listing);
}

void CFtpSession::OnMlst(const FtpRequest& request) {
  CCountedString path;
  DirectoryEntry entry;
  if (!FindClientEntry(request.argument, ShownPath(request.argument), false, &path, &entry)) {
    return;
  }
  Reply(FtpReply::kMachineListing, ShownPath(request.argument), FormatFacts(entry, access_),
        ShownPath(request.argument));
}

void CFtpSession::OnMdtm(const FtpRequest& request) {
  CCountedString path;
  DirectoryEntry entry;
  if (!FindClientEntry(request.argument, request.argument, true, &path, &entry)) return;
  Reply(FtpReply::kFileTime, FormatFactTime(entry.lastWriteUtc));
}

// MFMT time path: the time is UTC, as MDTM shows it.
void CFtpSession::OnMfmt(const FtpRequest& request) {
  const size_t space = request.argument.Find(' ');
  CalendarTime time;
  if (space == CCountedString::npos || space + 1 == request.argument.Length() ||
      !ParseFactTime(request.argument.Left(space), &time)) {
    Reply(FtpReply::kBadParameters);
    return;
  }
  const CCountedString name = request.argument.Mid(space + 1);
  CCountedString path;
  DirectoryEntry entry;
  if (!FindClientEntry(name, name, true, &path, &entry)) return;
  if (!SetLastWriteTime(path, time)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  Reply(FtpReply::kModifyTimeSet, FormatFactTime(time), name);
}

}  // namespace kestova
