#include "ftp/protected_folder.h"

#include <vector>

#include "ftp/served_path.h"
#include "platform/folder_identity.h"

namespace kestova {
namespace {

// The protected folder first, then every folder above it up to its root; empty when
// nothing is protected. Written only before sessions run, read by every session.
std::vector<FolderIdentity>& ProtectedChain() {
  static std::vector<FolderIdentity> chain;
  return chain;
}

// The folder that holds the resolved path; false for a root ("\\", "D:\\").
bool ParentOf(const CCountedString& resolved, CCountedString* parent) {
  const size_t separator = resolved.FindLast('\\');
  if (separator == CCountedString::npos || separator + 1 == resolved.Length()) return false;
  CCountedString folder = resolved.Left(separator);
  if (folder.IsEmpty() || folder.EndsWith(":")) folder = resolved.Left(separator + 1);
  *parent = folder;
  return true;
}

}  // namespace

void ProtectFolder(const CCountedString& folder) {
  std::vector<FolderIdentity> chain;
  CCountedString path;
  FolderIdentity identity;
  if (!folder.IsEmpty() && ResolvePathComponents(folder, &path) &&
      GetFolderIdentity(path, &identity)) {
    chain.push_back(identity);
    CCountedString parent;
    while (ParentOf(path, &parent)) {
      path = parent;
      if (GetFolderIdentity(path, &identity)) chain.push_back(identity);
    }
  }
  ProtectedChain() = chain;
}

bool IsProtectedEntry(const CCountedString& resolvedPath) {
  const std::vector<FolderIdentity>& chain = ProtectedChain();
  if (chain.empty()) return false;
  FolderIdentity identity;
  if (GetFolderIdentity(resolvedPath, &identity) && identity == chain.front()) return true;
  CCountedString parent;
  return ParentOf(resolvedPath, &parent) && GetFolderIdentity(parent, &identity) &&
         identity == chain.front();
}

bool HoldsProtectedFolder(const CCountedString& resolvedPath) {
  const std::vector<FolderIdentity>& chain = ProtectedChain();
  FolderIdentity identity;
  if (chain.empty() || !GetFolderIdentity(resolvedPath, &identity)) return false;
  for (const FolderIdentity& held : chain) {
    if (identity == held) return true;
  }
  return false;
}

}  // namespace kestova
