// The test side of the kernel and NDIS stand-in: loading the driver, issuing I/O requests to its
// control device the way the I/O manager does, simulated network adapters that NDIS binds the
// protocol to, failure injection, and the accounting that tests check (faults, leaks, debug
// output). Test code only.
#ifndef KESTOVA_DRIVER_HOST_KERNEL_STANDIN_CONTROL_H_
#define KESTOVA_DRIVER_HOST_KERNEL_STANDIN_CONTROL_H_

#include <stdint.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel_standin.h"

namespace kestova {
namespace standin {

// --- Accounting ---------------------------------------------------------------------------------

// Breaches of kernel rules seen since the last ResetWorld (double completion, a completion under a
// spin lock, a free with the wrong size, ...). A correct driver leaves this empty.
std::vector<std::string> Faults();
// Lines printed through DbgPrint since the last ResetWorld.
std::vector<std::string> DebugLines();
// Debug lines that report a failed assertion.
std::vector<std::string> AssertionReports();

struct Outstanding {
  long poolBlocks = 0;
  long spinLocks = 0;
  long packetPools = 0;
  long packets = 0;  // of the driver's own pools
  long bufferPools = 0;
  long buffers = 0;  // of the driver's own pools
  long devices = 0;
  long symbolicLinks = 0;
  long protocols = 0;
  long openBindings = 0;
  long configurations = 0;
  long requestsInFlight = 0;  // NDIS requests and transfers not yet completed to the driver
};
Outstanding Counts();
std::string Describe(const Outstanding& counts);
bool NothingOutstanding();
// The size (descriptors plus overflow) and protocol-reserved bytes of one of the driver's packet
// pools; false for a pool that does not exist.
bool PacketPoolShape(NDIS_HANDLE pool, UINT* descriptors, UINT* reserved);

// Starts a clean world: no adapters, no faults, no debug lines. Tests call it in SetUp.
void ResetWorld();

// --- Failure injection --------------------------------------------------------------------------

void FailIoCreateDevice(NTSTATUS status);  // STATUS_SUCCESS: stop failing
void FailIoCreateSymbolicLink(NTSTATUS status);
void FailNdisRegisterProtocol(NDIS_STATUS status);
// Value of the protocol's "Environment" configuration entry; absent means the read fails.
void SetEnvironmentValue(bool present, ULONG value);

// --- The driver and its control device ----------------------------------------------------------

// Calls DriverEntry with a fresh driver object; returns its status.
NTSTATUS LoadDriver();
// Calls the unload routine the driver installed.
void UnloadDriver();
bool DeviceExists(ULONG* type, ULONG* characteristics, ULONG* flags);
bool SymbolicLinkExists();
// The characteristics NDIS was given, or NULL when no protocol is registered.
const NDIS50_PROTOCOL_CHARACTERISTICS* RegisteredProtocol();
// Indicates a global PnP event (no binding context), e.g. NetEventBindsComplete.
NDIS_STATUS IndicateGlobalPnP(NET_PNP_EVENT_CODE code);

// One I/O request as the I/O manager builds it. Kept alive until completed.
class CRequest {
 public:
  ~CRequest();
  CRequest(const CRequest&) = delete;
  CRequest& operator=(const CRequest&) = delete;

  NTSTATUS DispatchResult() const { return dispatchResult_; }
  bool Completed() const;
  // Waits up to `milliseconds` for completion.
  bool WaitCompleted(int milliseconds) const;
  // Whether completion happened while the dispatch routine was still running.
  bool CompletedDuringDispatch() const { return completedDuringDispatch_; }
  NTSTATUS Status() const;
  ULONG_PTR Information() const;
  // The request's data buffer (read data or device-control output).
  const std::vector<uint8_t>& Buffer() const { return data_; }
  // Cancels the request as IoCancelIrp does; true if a cancel routine was called.
  bool Cancel();

 private:
  friend class CHandle;
  friend void CompleteFromDriver(PIRP irp);
  CRequest();
  IRP irp_{};
  MDL mdl_{};
  std::vector<uint8_t> data_;
  NTSTATUS dispatchResult_ = STATUS_PENDING;
  bool completedDuringDispatch_ = false;
  bool inDispatch_ = false;
  mutable std::mutex mutex_;
  mutable std::condition_variable done_;
  int completions_ = 0;
};

// An open handle to the control device.
class CHandle {
 public:
  // Sends IRP_MJ_CREATE; check CreateStatus().
  CHandle();
  // Closes (cleanup then close) unless already closed.
  ~CHandle();
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;

  NTSTATUS CreateStatus() const { return createStatus_; }
  // Sends IRP_MJ_CLEANUP then IRP_MJ_CLOSE, as closing the last handle does.
  void Close();

  // A read of `length` bytes (0: no buffer descriptor). `unmappable` makes its buffer unmappable.
  std::unique_ptr<CRequest> Read(ULONG length, bool unmappable = false);
  std::unique_ptr<CRequest> Write(ULONG length);
  // A buffered device control: `input` is copied into a system buffer of
  // max(input, outputLength) bytes.
  std::unique_ptr<CRequest> DeviceControl(ULONG code, const std::vector<uint8_t>& input,
                                          ULONG outputLength);

 private:
  std::unique_ptr<CRequest> Send(UCHAR major, std::unique_ptr<CRequest> request);
  FILE_OBJECT file_{};
  bool open_ = false;
  NTSTATUS createStatus_ = STATUS_UNSUCCESSFUL;
};

// --- Simulated adapters -------------------------------------------------------------------------

struct AdapterConfig {
  std::u16string deviceName = u"\\Device\\{SIM-ADAPTER}";
  std::u16string instanceName = u"Simulated Ethernet Adapter";
  bool hasInstanceName = true;
  uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  NDIS_MEDIUM medium = NdisMedium802_3;
  bool pendOpen = false;                          // the open completes later, from another thread
  bool pendClose = false;                         // likewise the close
  NDIS_STATUS closeStatus = NDIS_STATUS_SUCCESS;  // what the close reports (adapter closed anyway)
  bool pendRequests = false;                      // likewise every NDIS request
  bool pendTransfers = false;                     // likewise every NdisTransferData
  UINT transferShortfall = 0;  // bytes every NdisTransferData leaves out at the end
  bool holdPending = false;    // pended operations complete only in DrainPending
  bool failAddressQuery = false;
  ULONG mediaConnectStatus = 0;  // 0 connected
  // Runs when the driver queries the media-connect status (the last step of binding).
  std::function<void()> onMediaQuery;
};

class CAdapter {
 public:
  explicit CAdapter(AdapterConfig config);
  ~CAdapter();  // joins the threads that complete pended operations
  CAdapter(const CAdapter&) = delete;
  CAdapter& operator=(const CAdapter&) = delete;

  // NDIS calls the protocol's bind handler for this adapter; returns the bind status.
  NDIS_STATUS Bind();
  // NDIS calls the unbind handler; returns its status.
  NDIS_STATUS Unbind();
  bool IsOpen() const;
  NDIS_HANDLE BindingContext() const;
  ULONG PacketFilter() const;
  // The value of a settable OID after a set, empty if never set.
  std::vector<uint8_t> OidValue(NDIS_OID oid) const;
  // Gives a queryable OID a value.
  void SetQueryValue(NDIS_OID oid, std::vector<uint8_t> value);

  // A lookahead indication: the 14-byte header, `lookahead` bytes of the rest. When the lookahead
  // does not cover the frame the driver fetches the rest with NdisTransferData.
  NDIS_STATUS IndicateReceive(const std::vector<uint8_t>& frame, size_t lookahead,
                              UINT headerSize = 14);
  // A packet indication with the frame split into buffers of the given sizes (the last takes the
  // rest). Returns the handler's result; the packet is reclaimed when the driver lets it go.
  INT IndicatePacket(const std::vector<uint8_t>& frame, const std::vector<size_t>& split,
                     NDIS_STATUS packetStatus = NDIS_STATUS_SUCCESS);
  void IndicateStatus(NDIS_STATUS status);
  NDIS_STATUS IndicatePnP(NET_PNP_EVENT_CODE code, ULONG powerState = 0);

  // Completes (when held) and waits for every pended operation.
  void DrainPending();

  struct State;  // shared with the stand-in's NDIS functions

 private:
  std::shared_ptr<State> state_;
};

}  // namespace standin
}  // namespace kestova

#endif  // KESTOVA_DRIVER_HOST_KERNEL_STANDIN_CONTROL_H_
