// The directory and name commands: CWD/XCWD, CDUP, MKD/XMKD, RMD/XRMD, DELE, RNFR, RNTO.
//
// Every path is the client's argument taken from the current directory (from the top
// when it begins with a separator), resolved and required to lie inside the root
// folder. The current directory is kept resolved: "/" or "/a/b/", never a "..". The
// root folder itself can be entered and listed but not deleted, removed or renamed; nor
// can a file that a session is sending or receiving, or a folder that holds one, or a
// folder that holds the program's own folder (ftp/protected_folder.h).
#include "ftp/ftp_session.h"
#include "ftp/protected_folder.h"
#include "ftp/served_path.h"
#include "ftp/transfers_in_progress.h"
#include "platform/file_system.h"

namespace kestova {

void CFtpSession::ReplyInTransfer(const CCountedString& argument) {
  Reply(FtpReply::kInTransfer, argument);
}

CCountedString CFtpSession::CurrentDirectoryOf(const CCountedString& resolved) const {
  CCountedString root;
  NormalizePath(rootFolder_, &root);
  CCountedString below = resolved.Mid(root.Length());
  while (below.StartsWith("\\")) below = below.Mid(1);
  if (below.IsEmpty()) return CCountedString("/");
  below.Replace("\\", "/");
  return CCountedString("/") + below + "/";
}

void CFtpSession::OnCwd(const FtpRequest& request) {
  if (request.argument == currentDirectory_) {
    Reply(FtpReply::kIsCurrentDirectory, currentDirectory_);
    return;
  }
  CCountedString resolved;
  if (!ResolveClientPath(request.argument, &resolved)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (!IsDirectory(resolved)) {
    Reply(FtpReply::kDirectoryNotFound, request.argument);
    return;
  }
  currentDirectory_ = CurrentDirectoryOf(resolved);
  Reply(FtpReply::kChangedDirectory, request.argument, request.verb);
}

void CFtpSession::OnCdup(const FtpRequest&) {
  CCountedString directory = currentDirectory_;
  if (!directory.IsEmpty()) directory.Truncate(directory.Length() - 1);
  const size_t lastSlash = directory.FindLast('/');
  if (lastSlash == CCountedString::npos || lastSlash == 0) {
    currentDirectory_ = "/";
  } else {
    currentDirectory_ = directory.Left(lastSlash + 1);
  }
  Reply(FtpReply::kCdupSuccessful);
}

void CFtpSession::OnDele(const FtpRequest& request) {
  CCountedString path;
  if (!ResolveClientPath(request.argument, &path) || IsRootFolder(path)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (!PathExists(path)) {
    Reply(FtpReply::kFileNotFound, request.argument);
    return;
  }
  bool inTransfer = false;
  bool deleted = false;
  {
    CTransfersHeld transfers;
    inTransfer = transfers.Involve(path);
    deleted = !inTransfer && !IsReadOnly(path) && DeleteFileAt(path);
  }
  if (inTransfer) {
    ReplyInTransfer(request.argument);
    return;
  }
  if (!deleted) {
    Reply(FtpReply::kPermissionDeniedFor, request.argument);
    return;
  }
  Reply(FtpReply::kDeleSuccessful);
}

void CFtpSession::OnRmd(const FtpRequest& request) {
  CCountedString path;
  if (!ResolveClientPath(request.argument, &path) || IsRootFolder(path) ||
      HoldsProtectedFolder(path) || !PathExists(path) || IsReadOnly(path)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  bool inTransfer = false;
  bool removed = false;
  {
    CTransfersHeld transfers;
    inTransfer = transfers.Involve(path);
    removed = !inTransfer && RemoveFolder(path);
  }
  if (inTransfer) {
    ReplyInTransfer(request.argument);
    return;
  }
  if (!removed) {
    Reply(FtpReply::kCannotRemoveDirectory);
    return;
  }
  Reply(FtpReply::kRmdSuccessful);
}

void CFtpSession::OnMkd(const FtpRequest& request) {
  // A name that no resolved path could carry is refused before it is resolved (some
  // systems refuse to look such a name up at all, which would read as "outside").
  if (!NameMayBeCreated(request.argument, request.argument)) {
    Reply(FtpReply::kNameNotAllowed);
    return;
  }
  CCountedString path;
  if (!ResolveClientPath(request.argument, &path)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  // Only one level is created: the folder that is to hold it must exist and be writable.
  const size_t separator = path.FindLast('\\');
  CCountedString parent = separator == CCountedString::npos ? path : path.Left(separator);
  if (parent.IsEmpty() || parent.EndsWith(":")) parent = path.Left(separator + 1);  // "\\", "D:\\"
  if (!NameMayBeCreated(request.argument, path)) {
    Reply(FtpReply::kNameNotAllowed);
    return;
  }
  if (IsRootFolder(path) || !IsDirectory(parent) || IsReadOnly(parent)) {
    Reply(FtpReply::kCannotCreateDirectory);
    return;
  }
  if (CreateFolder(path) != CreateFolderResult::kCreated) {
    Reply(FtpReply::kCannotCreateDirectory);
    return;
  }
  // 257 with the new folder's path, as clients expect it (they give up on a 250).
  CCountedString created = CurrentDirectoryOf(path);
  created.Truncate(created.Length() - 1);
  created.Replace("\"", "\"\"");
  Reply(FtpReply::kCreated, created);
}

void CFtpSession::OnRnfr(const FtpRequest& request) {
  CCountedString path;
  if (request.argument.IsEmpty() || !ResolveClientPath(request.argument, &path) ||
      IsRootFolder(path) || HoldsProtectedFolder(path) || !PathExists(path)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (CTransfersHeld().Involve(path)) {
    ReplyInTransfer(request.argument);
    return;
  }
  renameSource_ = request.argument;
  // 350 asks for the RNTO that completes the rename; clients give up on any other code.
  Reply(FtpReply::kRnfrSuccessful);
}

void CFtpSession::OnRnto(const FtpRequest& request) {
  if (!NameMayBeCreated(request.argument, request.argument)) {  // as in OnMkd
    renameSource_.Clear();
    Reply(FtpReply::kNameNotAllowed);
    return;
  }
  CCountedString source;
  CCountedString target;
  if (!ResolveClientPath(renameSource_, &source) || !ResolveClientPath(request.argument, &target)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  if (request.argument.IsEmpty() || renameSource_.IsEmpty() || IsRootFolder(source) ||
      HoldsProtectedFolder(source) || IsRootFolder(target)) {
    renameSource_.Clear();
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  renameSource_.Clear();
  if (!NameMayBeCreated(request.argument, target) ||
      (IsDirectory(source) && !TreeMayMoveTo(source, target))) {
    Reply(FtpReply::kNameNotAllowed);
    return;
  }
  if (PathExists(target)) {
    Reply(FtpReply::kPermissionDenied);
    return;
  }
  bool inTransfer = false;
  bool moved = false;
  {
    CTransfersHeld transfers;
    inTransfer = transfers.Involve(source) || transfers.Involve(target);
    moved = !inTransfer && MovePath(source, target);
  }
  if (inTransfer) {
    ReplyInTransfer(request.argument);
    return;
  }
  if (!moved) {
    Reply(FtpReply::kCannotRenameDirectory);
    return;
  }
  Reply(FtpReply::kRntoSuccessful);
}

}  // namespace kestova
