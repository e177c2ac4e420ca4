// The program's own folder, which FTP never serves or changes.
//
// The Windows program keeps its executable, settings file and driver file in one folder.
// Whatever folder is served, no command may read, create, change, remove or rename an entry
// of that folder (so nobody on the network can replace the driver, plant a library the
// program would load, or rewrite the settings), nor remove or rename the folder or any
// folder that holds it. Folders are compared by identity (platform/folder_identity.h), so
// no other spelling of the same folder gets past. Nothing is protected until ProtectFolder
// has been called (the Linux service protects nothing: it keeps no files beside its data).
#pragma once

#include "base/counted_string.h"

namespace kestova {

// Protects `folder` from now on (an empty text protects nothing again). Call before the
// listener starts (sessions read the setting without a lock); the folder must exist (one
// that does not protects nothing).
void ProtectFolder(const CCountedString& folder);

// True when the resolved path (served_path.h) is the protected folder or an entry
// directly in it: nothing is served from it or written to it.
bool IsProtectedEntry(const CCountedString& resolvedPath);

// True when the resolved path is the protected folder or a folder that holds it: it is
// neither removed nor renamed.
bool HoldsProtectedFolder(const CCountedString& resolvedPath);

}  // namespace kestova
