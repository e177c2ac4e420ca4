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
  Reply("550 \"%s\": in transfer, try again later.", argument.CStr());
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

void CFtpSession::OnCwd(CCountedString command, CCountedString argument, CCountedString) {
  if (argument == currentDirectory_) {
    Reply("250 \"%s\" is current directory.", currentDirectory_.CStr());
    return;
  }
  CCountedString resolved;
  if (!ResolveClientPath(argument, &resolved)) {
    Reply("550 Permission denied.");
    return;
  }
  if (!IsDirectory(resolved)) {
    Reply("550 \"%s\": Directory not found.", argument.CStr());
    return;
  }
  currentDirectory_ = CurrentDirectoryOf(resolved);
  Reply("250 \"%s\": %s command successful.", argument.CStr(), command.CStr());
}

void CFtpSession::OnCdup(CCountedString, CCountedString, CCountedString) {
  CCountedString directory = currentDirectory_;
  if (!directory.IsEmpty()) directory.Truncate(directory.Length() - 1);
  const size_t lastSlash = directory.FindLast('/');
  if (lastSlash == CCountedString::npos || lastSlash == 0) {
    currentDirectory_ = "/";
  } else {
    currentDirectory_ = directory.Left(lastSlash + 1);
  }
  Reply("250 CDUP command successful.");
}

void CFtpSession::OnDele(CCountedString, CCountedString argument, CCountedString) {
  CCountedString path;
  if (!ResolveClientPath(argument, &path) || IsRootFolder(path)) {
    Reply("550 Permission denied.");
    return;
  }
  if (!PathExists(path)) {
    Reply("550 \"%s\": File not found.", argument.CStr());
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
    ReplyInTransfer(argument);
    return;
  }
  if (!deleted) {
    Reply("550 Permission denied(%s).", argument.CStr());
    return;
  }
  Reply("250 DELE command successful.");
}

void CFtpSession::OnRmd(CCountedString, CCountedString argument, CCountedString) {
  CCountedString path;
  if (!ResolveClientPath(argument, &path) || IsRootFolder(path) || HoldsProtectedFolder(path) ||
      !PathExists(path) || IsReadOnly(path)) {
    Reply("550 Permission denied.");
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
    ReplyInTransfer(argument);
    return;
  }
  if (!removed) {
    Reply("550 Can't remove directory. Permission denied.");
    return;
  }
  Reply("250 RMD command successful.");
}

void CFtpSession::OnMkd(CCountedString, CCountedString argument, CCountedString) {
  CCountedString path;
  if (!ResolveClientPath(argument, &path)) {
    Reply("550 Permission denied.");
    return;
  }
  // Only one level is created: the folder that is to hold it must exist and be writable.
  const size_t separator = path.FindLast('\\');
  CCountedString parent = separator == CCountedString::npos ? path : path.Left(separator);
  if (parent.IsEmpty() || parent.EndsWith(":")) parent = path.Left(separator + 1);  // "\\", "D:\\"
  if (IsRootFolder(path) || !IsDirectory(parent) || IsReadOnly(parent)) {
    Reply("550 Can't create directory. Permission denied.");
    return;
  }
  if (CreateFolder(path) != CreateFolderResult::kCreated) {
    Reply("550 Can't create directory. Permission denied.");
    return;
  }
  // 257 with the new folder's path, as clients expect it (they give up on a 250).
  CCountedString created = CurrentDirectoryOf(path);
  created.Truncate(created.Length() - 1);
  created.Replace("\"", "\"\"");
  Reply("257 \"%s\" created.", created.CStr());
}

void CFtpSession::OnRnfr(CCountedString, CCountedString argument, CCountedString) {
  CCountedString path;
  if (argument.IsEmpty() || !ResolveClientPath(argument, &path) || IsRootFolder(path) ||
      HoldsProtectedFolder(path) || !PathExists(path)) {
    Reply("550 Permission denied.");
    return;
  }
  if (CTransfersHeld().Involve(path)) {
    ReplyInTransfer(argument);
    return;
  }
  renameSource_ = argument;
  // 350 asks for the RNTO that completes the rename; clients give up on any other code.
  Reply("350 RNFR command successful.");
}

void CFtpSession::OnRnto(CCountedString, CCountedString argument, CCountedString) {
  CCountedString source;
  CCountedString target;
  if (!ResolveClientPath(renameSource_, &source) || !ResolveClientPath(argument, &target)) {
    Reply("550 Permission denied.");
    return;
  }
  if (argument.IsEmpty() || renameSource_.IsEmpty() || IsRootFolder(source) ||
      HoldsProtectedFolder(source) || IsRootFolder(target)) {
    renameSource_.Clear();
    Reply("550 Permission denied.");
    return;
  }
  renameSource_.Clear();
  if (PathExists(target)) {
    Reply("550 Permission denied.");
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
    ReplyInTransfer(argument);
    return;
  }
  if (!moved) {
    Reply("550 Can't rename directory. Permission denied.");
    return;
  }
  Reply("250 RNTO command successful.");
}

}  // namespace kestova
