// The Service Control Manager operations on the capture driver's kernel service. Each operation
// opens the service with full access and closes it again.
#pragma once

namespace kestova {

class CServiceManager {
 public:
  explicit CServiceManager(const char* serviceName) : name_(serviceName) {}
  ~CServiceManager();  // closes the manager handle
  CServiceManager(const CServiceManager&) = delete;
  CServiceManager& operator=(const CServiceManager&) = delete;

  // Opens the local manager with SC_MANAGER_ALL_ACCESS; false when that is refused.
  bool Open();
  // A demand-start kernel driver in load-order group "NDIS" with the given image; a service
  // that already exists counts as created.
  bool Create(const char* displayName, const char* driverPath);
  // Starts the service; one already running counts as started.
  bool Start();
  // SERVICE_CONTROL_STOP.
  bool Stop();
  bool Delete();

 private:
  const char* name_;
  void* manager_ = nullptr;  // SC_HANDLE
};

}  // namespace kestova
