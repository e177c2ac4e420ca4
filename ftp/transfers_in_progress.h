// The files that sessions are sending or receiving right now, process-wide, so that
// another session cannot delete, rename or remove them (or a folder holding one) while
// they move. On Windows the exclusive open already refuses that; on Linux a lock does
// not stop unlinking, so this list does.
//
// Paths are compared resolved (ResolvePathComponents), whole component by component.
// Any thread.
#pragma once

#include "base/counted_string.h"

namespace kestova {

// Marks one path as in transfer for as long as it lives (or until Release).
class CTransferMark {
 public:
  CTransferMark() = default;
  ~CTransferMark() { Release(); }
  CTransferMark(const CTransferMark&) = delete;
  CTransferMark& operator=(const CTransferMark&) = delete;

  // Marks `path` (resolved first; releasing an earlier mark of this object).
  void Mark(const CCountedString& path);
  void Release();

 private:
  CCountedString path_;
  bool marked_ = false;
};

// Holds the list still while a name command checks a path and changes it, so that no
// transfer of that path can start in between. Keep it for the check and the change
// only, not for the reply.
class CTransfersHeld {
 public:
  CTransfersHeld();
  ~CTransfersHeld();
  CTransfersHeld(const CTransfersHeld&) = delete;
  CTransfersHeld& operator=(const CTransfersHeld&) = delete;

  // True when `resolvedPath` is in transfer or is a folder that holds a file in transfer.
  bool Involve(const CCountedString& resolvedPath) const;
};

}  // namespace kestova
