// Choosing and creating the file a programme is received into.
#pragma once

#include "base/counted_string.h"
#include "ftp/transfers_in_progress.h"
#include "platform/file_system.h"
#include "platform/thread.h"

namespace kestova {

// The process-wide file-naming lock. A reception holds it while it announces its start
// (so views add rows one at a time), tests names and creates its file, so two receptions
// of the same title never pick the same name. Not recursive.
extern CLock g_fileNamingLock;

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
                         CTransferMark* mark) KESTOVA_REQUIRES(g_fileNamingLock);

}  // namespace kestova
