#include "ftp/transfers_in_progress.h"

#include <vector>

#include "ftp/served_path.h"
#include "platform/thread.h"

namespace kestova {
namespace {

// A function-local static: built on first use, so no start-up order matters.
struct TransferList {
  CLock lock;
  // One entry per mark; a path may appear twice.
  std::vector<CCountedString> paths KESTOVA_GUARDED_BY(lock);
};

TransferList& List() {
  static TransferList list;
  return list;
}

}  // namespace

void CTransferMark::Mark(const CCountedString& path) {
  Release();
  // Resolved here as well, so that a path built by joining (root folder + name) reads
  // the same as a client's path; its own copy, as the list outlives the caller's buffers.
  CCountedString resolved;
  if (!ResolvePathComponents(path, &resolved)) resolved = path;
  path_ = CCountedString(resolved.CStr(), resolved.Length());
  TransferList& list = List();
  CLockHolder holder(list.lock);
  list.paths.push_back(path_);
  marked_ = true;
}

void CTransferMark::Release() {
  if (!marked_) return;
  TransferList& list = List();
  CLockHolder holder(list.lock);
  for (size_t i = 0; i < list.paths.size(); ++i) {
    if (list.paths[i] == path_) {
      list.paths.erase(list.paths.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  marked_ = false;
}

CTransfersHeld::CTransfersHeld() { List().lock.Acquire(); }

CTransfersHeld::~CTransfersHeld() { List().lock.Release(); }

// The list's lock is held by this object from its construction on.
bool CTransfersHeld::Involve(const CCountedString& resolvedPath) const
    KESTOVA_NO_THREAD_SAFETY_ANALYSIS {
  for (const CCountedString& path : List().paths) {
    if (IsInsideFolder(resolvedPath, path)) return true;
  }
  return false;
}

}  // namespace kestova
