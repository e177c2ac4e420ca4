// Choosing and creating the file a programme is received into.
#pragma once

#include "base/counted_string.h"
#include "ftp/transfers_in_progress.h"
#include "platform/file_system.h"

namespace kestova {

// The process-wide file-naming lock: one interlocked counter used as a spin lock
// (increment; the holder is whoever made it 1; anyone else takes the increment back,
// sleeps 10 ms and tries again). A reception holds it while it appends its row, tests
// names and creates its file, so two receptions of the same title never pick the same
// name. Not recursive.
void AcquireFileNamingLock();
void ReleaseFileNamingLock();

// Holds the file-naming lock until Release() or the end of its scope.
class CFileNamingLockHolder {
 public:
  CFileNamingLockHolder() { AcquireFileNamingLock(); }
  ~CFileNamingLockHolder() { Release(); }
  CFileNamingLockHolder(const CFileNamingLockHolder&) = delete;
  CFileNamingLockHolder& operator=(const CFileNamingLockHolder&) = delete;
  void Release() {
    if (held_) ReleaseFileNamingLock();
    held_ = false;
  }

 private:
  bool held_ = true;
};

// Creates a new file for a programme in `rootFolder` (which ends with a separator):
// the first of NAME.MPG, NAME_1.MPG, NAME_2.MPG, ... that names nothing (a folder or
// a dangling link of that name counts as present), where NAME is `fileTitle`. An existing file is
// never overwritten: if another process takes the chosen name first, the next is tried. Call with
// the file-naming lock held.
//
// On success `file` is open for writing, `name` is NAME + extension and `path` the
// full path, and `mark` marks the file as in transfer. On failure `path` is the path
// whose creation failed, `file` is closed and `mark` released.
bool CreateProgrammeFile(const CCountedString& rootFolder, const CCountedString& fileTitle,
                         CFile* file, CCountedString* name, CCountedString* path,
                         CTransferMark* mark);

}  // namespace kestova
