// Internal declarations of KESTOVA.SYS: the driver globals, the per-adapter open context, the
// flag and lock helpers, and the entry points that the modules (entry and dispatch, NdisBind,
// Receive, Send) offer one another.
//
// Locking: the global lock protects the open-context list, every context's Flags and power state,
// and the pending-read queue; the capture buffer's lock protects the buffer. When both are held
// the global lock is taken first. No IRP is completed and no NDIS request is made while a spin
// lock is held.
#ifndef KESTOVA_DRIVER_DRIVER_GLOBALS_H_
#define KESTOVA_DRIVER_DRIVER_GLOBALS_H_

#include "kernel_api.h"
#include "kestova_shared.h"

namespace kestova {

// Pool tags as they appear in a pool dump: "kv82" for pool allocations, "KV82" for the memory of
// copy packets.
constexpr ULONG kPoolTag = 0x3238766Bu;        // 'k' 'v' '8' '2'
constexpr ULONG kCopyMemoryTag = 0x32385648u;  // 'K' 'V' '8' '2'

// Debug assertions are reports, never stops: the expression text and the source module are
// printed through the kernel debugger print.
void ReportAssertion(const char* expression, const char* module, int line);
#define KESTOVA_ASSERT(expression) \
  ((expression) ? (void)0 : ::kestova::ReportAssertion(#expression, __FILE__, __LINE__))

// Flags words are tested and changed through these (mask + value).
#define NUIO_TEST_FLAGS(flags, mask, value) (((flags) & (mask)) == (value))
#define NUIO_SET_FLAGS(flags, mask, value) ((flags) = ((flags) & ~(mask)) | (value))

// Fields of OpenContext::Flags.
constexpr ULONG BIND_STATE_MASK = 0x0000000F;
constexpr ULONG BIND_IDLE = 0x00000000;
constexpr ULONG BIND_ACTIVE = 0x00000004;
constexpr ULONG BIND_CLOSING = 0x00000008;
constexpr ULONG RESET_FLAG_MASK = 0x00000100;
constexpr ULONG RESET_FLAG_IN_PROGRESS = 0x00000100;
constexpr ULONG MEDIA_FLAG_MASK = 0x00000200;
constexpr ULONG MEDIA_DISCONNECTED = 0x00000200;
constexpr ULONG UNBIND_FLAG_MASK = 0x10000000;
constexpr ULONG UNBIND_RECEIVED = 0x10000000;

// Power states as NDIS reports them (NetDeviceStateD0 = 1, D1 = 2, ...).
constexpr ULONG kPowerStateD0 = 1;

// A UTF-16 text in non-paged pool whose capacity is its byte length rounded up to the next
// multiple of 64 (always at least 64), zero-padded to the capacity.
struct StoredString {
  UCHAR* buffer;
  ULONG capacity;
};

// One per opened adapter; allocated at bind, freed at unbind (NdisBind).
struct OpenContext {
  LIST_ENTRY Link;  // in DriverGlobals::OpenList
  ULONG Flags;      // bind state, reset, media and unbind bits (global lock)
  NDIS_HANDLE BindingHandle;
  NDIS_HANDLE SendPacketPool;
  NDIS_HANDLE RecvPacketPool;
  NDIS_HANDLE RecvBufferPool;
  NDIS_HANDLE SendBufferPool;
  ULONG MacOptions;
  ULONG MaxFrameSize;
  LONG PendingRequests;  // outstanding adapter operations (interlocked)
  ULONG PowerState;      // kPowerStateD0 after a bind, else the last set-power value
  StoredString DeviceDescription;
  StoredString DeviceName;
  NDIS_STATUS BindStatus;  // stored by open-adapter-complete and close-adapter-complete
  NDIS_EVENT BindEvent;    // set by those two handlers
  BOOLEAN RunningOnWin9x;
  UCHAR AdapterKey[8];  // Ethernet address and two zero bytes
};

// The capture buffer: a linear queue of captured-frame records (Receive).
struct CaptureBuffer {
  UCHAR* storage;  // kCaptureBufferSize bytes
  ULONG used;      // bytes of records from offset 0
  ULONG sequence;  // number of the next record
  NDIS_SPIN_LOCK lock;
};

struct DriverGlobals {
  PDRIVER_OBJECT DriverObject;
  PDEVICE_OBJECT ControlDevice;
  NDIS_HANDLE ProtocolHandle;
  LIST_ENTRY OpenList;  // OpenContext::Link, in bind order (global lock)
  NDIS_SPIN_LOCK GlobalLock;
  NDIS_EVENT BindsComplete;
  CaptureBuffer Capture;
  LIST_ENTRY PendedReads;  // IRP::Tail.Overlay.ListEntry (global lock)
  ULONG PendedReadCount;
  BOOLEAN SymbolicLinkCreated;
};

// The single instance. It is plain data, so no constructor runs at load; DriverEntry builds it
// with ConstructGlobals and DriverUnload takes it down with DestroyGlobals.
extern DriverGlobals g_globals;

inline void AcquireGlobalLock() { NdisAcquireSpinLock(&g_globals.GlobalLock); }
inline void ReleaseGlobalLock() { NdisReleaseSpinLock(&g_globals.GlobalLock); }

// --- Entry and dispatch (driver_entry.cpp, device_control.cpp) ---------------------------------

// Zeroes the globals and allocates the capture buffer; FALSE when out of memory.
BOOLEAN ConstructGlobals();
void DestroyGlobals();

// Turns the result of an adapter operation into the status the request completes with.
NTSTATUS MapOperationStatus(NDIS_STATUS status);

NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp);

// --- NdisBind (ndis_bind.cpp, ndis_handlers.cpp) ------------------------------------------------

// Makes a synchronous query or set request on an opened adapter; on success *bytes_processed is
// the number of bytes written or read, at most `length`. Passive level, no spin lock held.
NDIS_STATUS DoRequest(OpenContext* pOpenContext, NDIS_REQUEST_TYPE type, NDIS_OID oid, PVOID buffer,
                      ULONG length, PULONG bytes_processed);

// Finds the active binding with this key and raises its outstanding-request count, both under the
// global lock; NULL if there is none. The caller lowers the count with DerefRequests.
OpenContext* ReferenceActiveByKey(const UCHAR key[8]);
void DerefRequests(OpenContext* pOpenContext);

// Waits (polling every second, at most a minute) until no adapter operation is outstanding.
void WaitForPendingRequests(OpenContext* pOpenContext);

VOID NTAPI BindAdapter(PNDIS_STATUS status, NDIS_HANDLE bind_context, PNDIS_STRING device_name,
                       PVOID system_specific1, PVOID system_specific2);
VOID NTAPI UnbindAdapter(PNDIS_STATUS status, NDIS_HANDLE protocol_binding_context,
                         NDIS_HANDLE unbind_context);
VOID NTAPI OpenAdapterComplete(NDIS_HANDLE protocol_binding_context, NDIS_STATUS status,
                               NDIS_STATUS open_error_status);
VOID NTAPI CloseAdapterComplete(NDIS_HANDLE protocol_binding_context, NDIS_STATUS status);
VOID NTAPI RequestComplete(NDIS_HANDLE protocol_binding_context, PNDIS_REQUEST request,
                           NDIS_STATUS status);
VOID NTAPI StatusIndication(NDIS_HANDLE protocol_binding_context, NDIS_STATUS status,
                            PVOID status_buffer, UINT status_buffer_size);
VOID NTAPI StatusComplete(NDIS_HANDLE protocol_binding_context);
VOID NTAPI ResetComplete(NDIS_HANDLE protocol_binding_context, NDIS_STATUS status);
NDIS_STATUS NTAPI PnPEvent(NDIS_HANDLE protocol_binding_context, PNET_PNP_EVENT event);

// --- Receive (receive.cpp, capture_buffer.cpp, read_queue.cpp) ---------------------------------

NDIS_STATUS NTAPI ReceiveIndication(NDIS_HANDLE protocol_binding_context,
                                    NDIS_HANDLE mac_receive_context, PVOID header_buffer,
                                    UINT header_buffer_size, PVOID lookahead_buffer,
                                    UINT lookahead_buffer_size, UINT packet_size);
VOID NTAPI ReceiveComplete(NDIS_HANDLE protocol_binding_context);
INT NTAPI ReceivePacket(NDIS_HANDLE protocol_binding_context, PNDIS_PACKET packet);
VOID NTAPI TransferDataComplete(NDIS_HANDLE protocol_binding_context, PNDIS_PACKET packet,
                                NDIS_STATUS status, UINT bytes_transferred);

// Capture buffer: allocate/free the storage, append one packet's frame as a record (caller holds
// the global lock), copy the front of the stream into a read buffer.
BOOLEAN CreateCaptureBuffer(CaptureBuffer* buffer);
// Sum of the byte counts of the packet's buffers; *first (if given) receives its first buffer.
UINT QueryPacketLength(PNDIS_PACKET packet, PNDIS_BUFFER* first);
void DestroyCaptureBuffer(CaptureBuffer* buffer);
void AppendRecord(CaptureBuffer* buffer, PNDIS_PACKET packet, const UCHAR key[8]);
ULONG TakeFromCaptureBuffer(CaptureBuffer* buffer, UCHAR* destination, ULONG length);
BOOLEAN CaptureBufferIsEmpty(CaptureBuffer* buffer);

NTSTATUS NTAPI DispatchRead(PDEVICE_OBJECT device, PIRP irp);
// Completes pending reads from the capture buffer while both have something. Any IRQL up to
// dispatch level; no spin lock held by the caller.
void ServiceReads();
// Completes with STATUS_CANCELLED every read that is pending when called; reads queued later
// are left pending. No spin lock held by the caller.
void CancelPendingReads();

// --- Send (send.cpp) ---------------------------------------------------------------------------

NTSTATUS NTAPI DispatchWrite(PDEVICE_OBJECT device, PIRP irp);
VOID NTAPI SendComplete(NDIS_HANDLE protocol_binding_context, PNDIS_PACKET packet,
                        NDIS_STATUS status);

}  // namespace kestova

#endif  // KESTOVA_DRIVER_DRIVER_GLOBALS_H_
