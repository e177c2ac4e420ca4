#include "app/default_folder.h"

#include "app/window_helpers.h"
// After <windows.h> (window_helpers.h), whose types it uses.
#include <shlobj.h>

#include "platform/module.h"

namespace kestova {

CCountedString DefaultReceiveFolder() {
  char documents[MAX_PATH] = {};
  if (SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE) && documents[0] != '\0') {
    CCountedString folder(documents);
    if (!folder.EndsWith("\\")) folder.AppendChar('\\');
    return folder + "KESTOV-A\\";
  }
  // "受信" in code page 932.
  return GetModuleFolder() + "\x8E\xF3\x90\x4D\\";
}

}  // namespace kestova
