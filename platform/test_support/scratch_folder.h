// A scratch folder for one test, in the system's temporary folder, removed with all
// its content when the guard goes out of scope. Built on platform/ itself, so it
// works the same natively and under Wine.
#pragma once

#include <cstdlib>
#include <vector>

#include "base/counted_string.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {

class CScratchFolder {
 public:
  CScratchFolder() {
    const char* base = FirstSetVariable({"TEMP", "TMP", "TMPDIR"});
    const CCountedString root = base != nullptr ? base : "/tmp";
    for (unsigned attempt = 0; attempt < 1000 && path_.IsEmpty(); ++attempt) {
      CCountedString candidate =
          CCountedString::Format("%s/kestova-platform-%u-%u", root.CStr(), TickCountMs(), attempt);
      if (CreateFolder(candidate) == CreateFolderResult::kCreated) path_ = candidate;
    }
  }
  ~CScratchFolder() {
    if (!path_.IsEmpty()) RemoveTree(path_, 0);
  }
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;

  bool IsReady() const { return !path_.IsEmpty(); }
  const CCountedString& Path() const { return path_; }
  // The scratch folder's path, a separator and `name`.
  CCountedString operator/(const char* name) const { return path_ + "/" + name; }

 private:
  static const char* FirstSetVariable(std::vector<const char*> names) {
    for (const char* name : names) {
      const char* value = std::getenv(name);
      if (value != nullptr && *value != '\0') return value;
    }
    return nullptr;
  }

  // Removes a folder and everything in it; bounded in depth.
  static void RemoveTree(const CCountedString& folder, int depth) {
    std::vector<DirectoryEntry> entries;
    if (depth < 16 && ListDirectory(folder, &entries)) {
      for (const DirectoryEntry& entry : entries) {
        if (entry.name == "." || entry.name == "..") continue;
        const CCountedString child = folder + "/" + entry.name;
        if (entry.isDirectory) {
          RemoveTree(child, depth + 1);
        } else {
          DeleteFileAt(child);
        }
      }
    }
    RemoveFolder(folder);
  }

  CCountedString path_;
};

}  // namespace kestova
