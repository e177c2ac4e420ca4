#include "capture/win32/service_manager.h"

#include <windows.h>

namespace kestova {
namespace {

SC_HANDLE Manager(void* handle) { return static_cast<SC_HANDLE>(handle); }

// Holds a service handle opened with SERVICE_ALL_ACCESS for one operation.
class CServiceHandle {
 public:
  CServiceHandle(void* manager, const char* name)
      : handle_(manager == nullptr ? nullptr
                                   : OpenServiceA(Manager(manager), name, SERVICE_ALL_ACCESS)) {}
  ~CServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  CServiceHandle(const CServiceHandle&) = delete;
  CServiceHandle& operator=(const CServiceHandle&) = delete;
  SC_HANDLE Get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

}  // namespace

CServiceManager::~CServiceManager() {
  if (manager_ != nullptr) CloseServiceHandle(Manager(manager_));
}

bool CServiceManager::Open() {
  if (manager_ == nullptr) manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  return manager_ != nullptr;
}

bool CServiceManager::Create(const char* displayName, const char* driverPath) {
  if (manager_ == nullptr) return false;
  const SC_HANDLE service =
      CreateServiceA(Manager(manager_), name_, displayName, SERVICE_ALL_ACCESS,
                     SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, driverPath,
                     "NDIS", nullptr, nullptr, nullptr, nullptr);
  if (service != nullptr) {
    CloseServiceHandle(service);
    return true;
  }
  return GetLastError() == ERROR_SERVICE_EXISTS;
}

bool CServiceManager::Start() {
  CServiceHandle service(manager_, name_);
  if (service.Get() == nullptr) return false;
  return StartServiceA(service.Get(), 0, nullptr) ||
         GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

bool CServiceManager::Stop() {
  CServiceHandle service(manager_, name_);
  SERVICE_STATUS status;
  return service.Get() != nullptr && ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
}

bool CServiceManager::Delete() {
  CServiceHandle service(manager_, name_);
  return service.Get() != nullptr && DeleteService(service.Get());
}

}  // namespace kestova
