#include "app/window_helpers.h"
// After <windows.h> (window_helpers.h), whose types they use.
#include <objbase.h>
#include <shlobj.h>

namespace kestova {

namespace {

// When the browser has started: select the start folder (nothing when it is empty) and
// remove the context-help button.
int CALLBACK OnBrowserEvent(HWND browser, UINT event, LPARAM, LPARAM startFolder) {
  if (event == BFFM_INITIALIZED) {
    const char* folder = reinterpret_cast<const char*>(startFolder);
    if (folder != nullptr && *folder != '\0') {
      SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, startFolder);
    }
    const LONG_PTR style = GetWindowLongPtrA(browser, GWL_EXSTYLE);
    SetWindowLongPtrA(browser, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_CONTEXTHELP));
  }
  return 0;
}

// The resizable browser (BIF_NEWDIALOGSTYLE) needs COM in a single-threaded apartment on
// the calling thread; it is started for the call where the thread had none.
class CApartment {
 public:
  CApartment() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~CApartment() {
    if (started_) CoUninitialize();
  }
  CApartment(const CApartment&) = delete;
  CApartment& operator=(const CApartment&) = delete;

 private:
  bool started_;
};

}  // namespace

CCountedString NearestExistingFolder(const CCountedString& folder) {
  CCountedString start = folder;
  while (!start.IsEmpty() && GetFileAttributesA(start.CStr()) == INVALID_FILE_ATTRIBUTES) {
    const size_t cut = start.FindLast('\\');
    start = cut == CCountedString::npos ? CCountedString() : start.Left(cut);
  }
  return start;
}

bool BrowseForFolder(HWND owner, const char* title, const CCountedString& startFolder,
                     CCountedString* chosen) {
  CApartment apartment;
  LPITEMIDLIST desktop = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &desktop))) return false;
  const CCountedString start = NearestExistingFolder(startFolder);

  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.lpszTitle = title;
  // Only file-system folders, an edit box for typing, the resizable browser.
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  info.lpfn = OnBrowserEvent;
  info.lParam = reinterpret_cast<LPARAM>(start.CStr());
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (item == nullptr) {
    CoTaskMemFree(desktop);
    return false;
  }
  // An item without a file-system path (a printer, the network) changes nothing.
  char path[MAX_PATH] = {};
  const bool hasPath = SHGetPathFromIDListA(item, path) && path[0] != '\0';
  if (hasPath) *chosen = path;
  CoTaskMemFree(item);
  CoTaskMemFree(desktop);
  return hasPath;
}

}  // namespace kestova
