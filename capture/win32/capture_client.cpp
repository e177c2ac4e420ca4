#include "capture/win32/capture_client.h"

#include <windows.h>
#include <winsock2.h>

#include <cstring>

#include "capture/win32/binding_list_update.h"
#include "capture/win32/capture_sockets.h"
#include "capture/win32/driver_identity.h"
#include "capture/win32/service_manager.h"
#include "driver/kestova_shared.h"
#include "platform/module.h"

namespace kestova {
namespace {

constexpr char kServiceDisplayName[] = "Kestov-A Packet Capture Driver";
constexpr char kDriverFileName[] = "KESTOVA.SYS";
constexpr DWORD kPathCapacity = 260;

// The short form of `folder` + KESTOVA.SYS; empty when the file does not exist.
void WorkOutDriverPath(const char* folder, char* shortPath) {
  char longPath[kPathCapacity] = {};
  shortPath[0] = '\0';
  if (std::strlen(folder) + sizeof kDriverFileName > sizeof longPath) return;
  std::strcpy(longPath, folder);
  std::strcat(longPath, kDriverFileName);
  const DWORD length = GetShortPathNameA(longPath, shortPath, kPathCapacity);
  if (length == 0 || length >= kPathCapacity) shortPath[0] = '\0';
}

// Asks the driver to wait until its adapters are bound. The device is open for overlapped
// I/O, so the request has its own OVERLAPPED and event. A success status other than
// STATUS_SUCCESS (an older driver answers a time-out with STATUS_TIMEOUT, which the system
// counts as success) is a failure too.
bool WaitForBinding(HANDLE device) {
  OVERLAPPED overlapped = {};
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) return false;
  DWORD returned = 0;
  bool done = DeviceIoControl(device, kIoctlWaitForBinding, nullptr, 0, nullptr, 0, &returned,
                              &overlapped) != FALSE;
  if (!done && GetLastError() == ERROR_IO_PENDING) {
    done = GetOverlappedResult(device, &overlapped, &returned, TRUE) != FALSE;
  }
  CloseHandle(overlapped.hEvent);
  return done && overlapped.Internal == 0;  // Internal holds the request's final status
}

}  // namespace

CCaptureClient::CCaptureClient() : CCaptureClient(GetModuleFolder().CStr()) {}

CCaptureClient::CCaptureClient(const char* driverFolder) {
  WorkOutDriverPath(driverFolder, driverPath_);
  reader_.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

CCaptureClient::~CCaptureClient() {
  if (reader_.stopEvent == nullptr) return;
  StopCaptureReader(&reader_);
  CloseHandle(static_cast<HANDLE>(reader_.stopEvent));
}

void CCaptureClient::SetFrameCallback(FrameCallback callback, void* context) {
  reader_.callback = callback;
  reader_.context = context;
}

bool CCaptureClient::ReaderRunning() const {
  return InterlockedCompareExchange(const_cast<volatile long*>(&reader_.running), 0, 0) != 0;
}

int CCaptureClient::Start() {
  if (ReaderRunning()) return kReaderRunning;
  // No reader runs: a stop event left signalled by a Stop without reader must not end the next.
  if (reader_.stopEvent != nullptr) ResetEvent(static_cast<HANDLE>(reader_.stopEvent));
  switch (method_) {
    case Method::kDriver:
      return StartDriver();
    case Method::kRaw:
    case Method::kSocket:
      return StartWithoutDriver(method_);
    case Method::kAuto:
      break;
  }
  const int driverResult = StartDriver();
  // A replaced driver file is reported, never stepped around.
  if (driverResult == kDriverFileAltered) return driverResult;
  if (driverResult == kRunning) {
    driverMayBeInstalled_ = true;
    return kRunning;
  }
  // Only a start that got as far as creating the service has anything to take back.
  if (driverResult == kServiceNotStarted || driverResult == kDeviceUnavailable) Uninstall();
  if (StartWithoutDriver(Method::kRaw) == kRunning) return kRunning;
  if (StartWithoutDriver(Method::kSocket) == kRunning) return kRunning;
  return driverResult;
}

int CCaptureClient::StartDriver() {
  if (GetFileAttributesA(driverPath_) == INVALID_FILE_ATTRIBUTES) return kDriverFileMissing;
  if (!driverIdentity_.empty() && DriverFileIdentity(driverPath_) != driverIdentity_) {
    return kDriverFileAltered;
  }
  CServiceManager manager(kDriverServiceName);
  if (!manager.Open()) return kServiceManagerUnavailable;
  manager.Create(kServiceDisplayName, driverPath_);
  UpdateBindingLists(kDriverServiceName, true);
  if (!manager.Start()) return kServiceNotStarted;
  const HANDLE device =
      CreateFileA(kDriverUserDevicePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return kDeviceUnavailable;
  if (!WaitForBinding(device)) {
    CloseHandle(device);
    return kDeviceUnavailable;
  }
  reader_.source = CaptureReader::Source::kDevice;
  reader_.device = device;
  if (!StartCaptureReader(&reader_)) {
    CloseHandle(device);
    reader_.device = INVALID_HANDLE_VALUE;
    return kDeviceUnavailable;
  }
  running_ = Method::kDriver;
  return kRunning;
}

int CCaptureClient::StartWithoutDriver(Method method) {
  uintptr_t s = INVALID_SOCKET;
  const int opened = method == Method::kRaw ? OpenRawCaptureSocket(&s) : OpenUdpCaptureSocket(&s);
  if (opened != kRunning) return opened;
  reader_.source = method == Method::kRaw ? CaptureReader::Source::kRawSocket
                                          : CaptureReader::Source::kUdpSocket;
  reader_.socket = s;
  if (!StartCaptureReader(&reader_)) {
    closesocket(static_cast<SOCKET>(s));
    reader_.socket = INVALID_SOCKET;
    return kDeviceUnavailable;
  }
  running_ = method;
  return kRunning;
}

int CCaptureClient::Stop() {
  StopCaptureReader(&reader_);
  // The driver method always uninstalls, whatever its start did; raw and socket never touch
  // the driver, and auto has already removed a driver installation that did not run.
  if (method_ != Method::kDriver && !driverMayBeInstalled_) return kRunning;
  const int result = Uninstall();
  if (result == kRunning) driverMayBeInstalled_ = false;
  return result;
}

int CCaptureClient::Uninstall() {
  if (ReaderRunning()) return kReaderRunning;
  CServiceManager manager(kDriverServiceName);
  if (!manager.Open()) return kServiceManagerUnavailable;
  manager.Stop();
  manager.Delete();
  UpdateBindingLists(kDriverServiceName, false);
  return kRunning;
}

}  // namespace kestova
