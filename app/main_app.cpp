#include "app/main_app.h"

#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/window_helpers.h"
#include "net/host.h"
#include "platform/module.h"

namespace kestova {

namespace {

// True when the system says it is Windows 95, 98 or Me (not the NT family). A failed
// version query counts as NT.
bool IsWindows9x() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExA(&version) && version.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

// Holds the single-instance mutex from its creation to the end of the run.
class CInstanceMutex {
 public:
  explicit CInstanceMutex(const char* name) : handle_(CreateMutexA(nullptr, FALSE, name)) {}
  ~CInstanceMutex() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  CInstanceMutex(const CInstanceMutex&) = delete;
  CInstanceMutex& operator=(const CInstanceMutex&) = delete;

 private:
  HANDLE handle_;
};

bool AnotherInstanceRuns(const char* name) {
  HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
  if (other == nullptr) return false;
  CloseHandle(other);
  return true;
}

}  // namespace

CCountedString ApplicationName(const CCountedString& modulePath) {
  const size_t separator = modulePath.FindLast('\\');
  CCountedString name =
      separator == CCountedString::npos ? modulePath : modulePath.Mid(separator + 1);
  const size_t dot = name.FindLast('.');
  return dot == CCountedString::npos ? name : name.Left(dot);
}

bool CMainApp::InitInstance() {
  CMainDialog dialog;
  if (IsWindows9x()) {
    ShowMessage(nullptr, IDS_VERSION_ERROR_CAPTION, IDS_VERSION_ERROR_TEXT, MB_ICONERROR);
    return false;
  }
  const CCountedString name = ApplicationName(GetModulePath());
  // Another instance: end at once, without a message and without bringing it forward.
  if (AnotherInstanceRuns(name.CStr())) return false;
  CInstanceMutex mutex(name.CStr());
  // Without sockets the FTP listener reports that the server cannot start.
  StartSocketLibrary();
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  SetMainWindow(&dialog);
  dialog.DoModal();
  SetMainWindow(nullptr);
  StopSocketLibrary();
  return false;
}

}  // namespace kestova
