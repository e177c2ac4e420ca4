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
  long pool_blocks = 0;
  long spin_locks = 0;
  long packet_pools = 0;
  long packets = 0;  // of the driver's own pools
  long buffer_pools = 0;
  long buffers = 0;  // of the driver's own pools
  long devices = 0;
  long symbolic_links = 0;
  long protocols = 0;
  long open_bindings = 0;
  long configurations = 0;
  long requests_in_flight = 0;  // NDIS requests and transfers not yet completed to the driver
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
class Request {
 public:
  ~Request();
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  NTSTATUS dispatch_result() const { return dispatch_result_; }
  bool completed() const;
  // Waits up to `milliseconds` for completion.
  bool WaitCompleted(int milliseconds) const;
  // Whether completion happened while the dispatch routine was still running.
  bool completed_during_dispatch() const { return completed_during_dispatch_; }
  NTSTATUS status() const;
  ULONG_PTR information() const;
  // The request's data buffer (read data or device-control output).
  const std::vector<uint8_t>& buffer() const { return data_; }
  // Cancels the request as IoCancelIrp does; true if a cancel routine was called.
  bool Cancel();

 private:
  friend class Handle;
  friend void CompleteFromDriver(PIRP irp);
  Request();
  IRP irp_{};
  MDL mdl_{};
  std::vector<uint8_t> data_;
  NTSTATUS dispatch_result_ = STATUS_PENDING;
  bool completed_during_dispatch_ = false;
  bool in_dispatch_ = false;
  mutable std::mutex mutex_;
  mutable std::condition_variable done_;
  int completions_ = 0;
};

// An open handle to the control device.
class Handle {
 public:
  // Sends IRP_MJ_CREATE; check create_status().
  Handle();
  // Closes (cleanup then close) unless already closed.
  ~Handle();
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  NTSTATUS create_status() const { return create_status_; }
  // Sends IRP_MJ_CLEANUP then IRP_MJ_CLOSE, as closing the last handle does.
  void Close();

  // A read of `length` bytes (0: no buffer descriptor). `unmappable` makes its buffer unmappable.
  std::unique_ptr<Request> Read(ULONG length, bool unmappable = false);
  std::unique_ptr<Request> Write(ULONG length);
  // A buffered device control: `input` is copied into a system buffer of
  // max(input, output_length) bytes.
  std::unique_ptr<Request> DeviceControl(ULONG code, const std::vector<uint8_t>& input,
                                         ULONG output_length);

 private:
  std::unique_ptr<Request> Send(UCHAR major, std::unique_ptr<Request> request);
  FILE_OBJECT file_{};
  bool open_ = false;
  NTSTATUS create_status_ = STATUS_UNSUCCESSFUL;
};

// --- Simulated adapters -------------------------------------------------------------------------

struct AdapterConfig {
  std::u16string device_name = u"\\Device\\{SIM-ADAPTER}";
  std::u16string instance_name = u"Simulated Ethernet Adapter";
  bool has_instance_name = true;
  uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  NDIS_MEDIUM medium = NdisMedium802_3;
  bool pend_open = false;                          // the open completes later, from another thread
  bool pend_close = false;                         // likewise the close
  NDIS_STATUS close_status = NDIS_STATUS_SUCCESS;  // what the close reports (adapter closed anyway)
  bool pend_requests = false;                      // likewise every NDIS request
  bool pend_transfers = false;                     // likewise every NdisTransferData
  UINT transfer_shortfall = 0;  // bytes every NdisTransferData leaves out at the end
  bool hold_pending = false;    // pended operations complete only in DrainPending
  bool fail_address_query = false;
  ULONG media_connect_status = 0;  // 0 connected
  // Runs when the driver queries the media-connect status (the last step of binding).
  std::function<void()> on_media_query;
};

class Adapter {
 public:
  explicit Adapter(AdapterConfig config);
  ~Adapter();  // joins the threads that complete pended operations
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

  // NDIS calls the protocol's bind handler for this adapter; returns the bind status.
  NDIS_STATUS Bind();
  // NDIS calls the unbind handler; returns its status.
  NDIS_STATUS Unbind();
  bool is_open() const;
  NDIS_HANDLE binding_context() const;
  ULONG packet_filter() const;
  // The value of a settable OID after a set, empty if never set.
  std::vector<uint8_t> oid_value(NDIS_OID oid) const;
  // Gives a queryable OID a value.
  void SetQueryValue(NDIS_OID oid, std::vector<uint8_t> value);

  // A lookahead indication: the 14-byte header, `lookahead` bytes of the rest. When the lookahead
  // does not cover the frame the driver fetches the rest with NdisTransferData.
  NDIS_STATUS IndicateReceive(const std::vector<uint8_t>& frame, size_t lookahead,
                              UINT header_size = 14);
  // A packet indication with the frame split into buffers of the given sizes (the last takes the
  // rest). Returns the handler's result; the packet is reclaimed when the driver lets it go.
  INT IndicatePacket(const std::vector<uint8_t>& frame, const std::vector<size_t>& split,
                     NDIS_STATUS packet_status = NDIS_STATUS_SUCCESS);
  void IndicateStatus(NDIS_STATUS status);
  NDIS_STATUS IndicatePnP(NET_PNP_EVENT_CODE code, ULONG power_state = 0);

  // Completes (when held) and waits for every pended operation.
  void DrainPending();

  struct State;  // shared with the stand-in's NDIS functions

 private:
  std::shared_ptr<State> state_;
};

}  // namespace standin
}  // namespace kestova

#endif  // KESTOVA_DRIVER_HOST_KERNEL_STANDIN_CONTROL_H_
