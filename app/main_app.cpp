#include "app/main_app.h"

#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/window_helpers.h"
#include "ftp/protected_folder.h"
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

// One name for the whole machine, whatever the executable is called and whoever runs it:
// every instance shares the one driver service, so only one may run at a time.
constexpr char kInstanceMutexName[] = "Global\\KESTOV-A.Instance";

// Holds the single-instance mutex from its creation to the end of the run. Creating and
// testing are one step, so two starts at the same moment cannot both go on.
class CInstanceMutex {
 public:
  CInstanceMutex()
      : handle_(CreateMutexA(nullptr, FALSE, kInstanceMutexName)),
        // A mutex that exists but cannot be opened (another user's) gives no handle.
        another_(handle_ == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {}
  ~CInstanceMutex() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  CInstanceMutex(const CInstanceMutex&) = delete;
  CInstanceMutex& operator=(const CInstanceMutex&) = delete;
  bool AnotherInstanceRuns() const { return another_; }

 private:
  HANDLE handle_;
  bool another_;
};

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
  // Another instance: end at once, without a message and without bringing it forward.
  CInstanceMutex mutex;
  if (mutex.AnotherInstanceRuns()) return false;
  // Nobody on the network may read or change the program's own files.
  ProtectFolder(GetModuleFolder());
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
