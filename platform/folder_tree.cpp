#include "platform/folder_tree.h"

#include "platform/path_text.h"

namespace kestova {

bool CreateFolderTreeWith(const CCountedString& path, const CodePage& codePage,
                          FolderCreator createFolder) {
  // One trailing separator names the same folder.
  CCountedString full = path;
  if (EndsWithSeparator(full, codePage)) full.Truncate(full.Length() - 1);
  if (full.IsEmpty()) return false;

  // Every prefix that ends at a separator is created in turn. Their results do not
  // matter: roots, server and share prefixes and existing folders simply fail.
  size_t start = 0;
  for (;;) {
    const size_t separator = FindNextSeparator(full, start, codePage);
    if (separator == CCountedString::npos) break;
    createFolder(full.Left(separator + 1));
    start = separator + 1;
  }

  // The name taken already (by a rival on another thread, by an earlier call, or by
  // a file) counts as success.
  return createFolder(full) != CreateFolderResult::kFailed;
}

bool CreateFolderTree(const CCountedString& path) {
  return CreateFolderTreeWith(path, CodePage::System(), &CreateFolder);
}

}  // namespace kestova
