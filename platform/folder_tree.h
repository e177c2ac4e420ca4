// The walk of CreateFolderTree with the code page and the folder creation as
// parameters, so that its steps over double-byte folder names are tested on every
// system, whatever the system's own code page and file names.
#pragma once

#include "base/code_page.h"
#include "base/counted_string.h"
#include "platform/file_system.h"

namespace kestova {

using FolderCreator = CreateFolderResult (*)(const CCountedString& path);

// As CreateFolderTree (platform/file_system.h): separators are found stepping over the
// double-byte characters of `codePage`, and every folder is created by `createFolder`.
bool CreateFolderTreeWith(const CCountedString& path, const CodePage& codePage,
                          FolderCreator createFolder);

}  // namespace kestova
