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
// printed through the kernel debugger print. KESTOVA_ASSERT_REPORTING prints `report` instead,
// where a check keeps the wording the driver has always reported for it.
void ReportAssertion(const char* expression, const char* module, int line);
#define KESTOVA_ASSERT_REPORTING(expression, report) \
  ((expression) ? (void)0 : ::kestova::ReportAssertion(report, __FILE__, __LINE__))
#define KESTOVA_ASSERT(expression) KESTOVA_ASSERT_REPORTING(expression, #expression)

// Flags words are tested and changed through these (mask + value).
inline BOOLEAN TestFlags(ULONG flags, ULONG mask, ULONG value) {
  return (flags & mask) == value ? TRUE : FALSE;
}
inline void SetFlags(ULONG& flags, ULONG mask, ULONG value) { flags = (flags & ~mask) | value; }

// Fields of OpenContext::Flags.
constexpr ULONG kBindStateMask = 0x0000000F;
constexpr ULONG kBindIdle = 0x00000000;
constexpr ULONG kBindActive = 0x00000004;
constexpr ULONG kBindClosing = 0x00000008;
constexpr ULONG kResetFlagMask = 0x00000100;
constexpr ULONG kResetInProgress = 0x00000100;
constexpr ULONG kMediaFlagMask = 0x00000200;
constexpr ULONG kMediaDisconnected = 0x00000200;
constexpr ULONG kUnbindFlagMask = 0x10000000;
constexpr ULONG kUnbindReceived = 0x10000000;

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

// Makes a synchronous query or set request on an opened adapter; on success *bytesProcessed is
// the number of bytes written or read, at most `length`. Passive level, no spin lock held.
NDIS_STATUS DoRequest(OpenContext* pOpenContext, NDIS_REQUEST_TYPE type, NDIS_OID oid, PVOID buffer,
                      ULONG length, PULONG bytesProcessed);

// Finds the active binding with this key and raises its outstanding-request count, both under the
// global lock; NULL if there is none. The caller lowers the count with DerefRequests.
OpenContext* ReferenceActiveByKey(const UCHAR key[8]);
void DerefRequests(OpenContext* pOpenContext);

// Waits (polling every second, at most a minute) until no adapter operation is outstanding.
void WaitForPendingRequests(OpenContext* pOpenContext);

VOID NTAPI BindAdapter(PNDIS_STATUS status, NDIS_HANDLE bindContext, PNDIS_STRING deviceName,
                       PVOID systemSpecific1, PVOID systemSpecific2);
VOID NTAPI UnbindAdapter(PNDIS_STATUS status, NDIS_HANDLE protocolBindingContext,
                         NDIS_HANDLE unbindContext);
VOID NTAPI OpenAdapterComplete(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status,
                               NDIS_STATUS openErrorStatus);
VOID NTAPI CloseAdapterComplete(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status);
VOID NTAPI RequestComplete(NDIS_HANDLE protocolBindingContext, PNDIS_REQUEST request,
                           NDIS_STATUS status);
VOID NTAPI StatusIndication(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status,
                            PVOID statusBuffer, UINT statusBufferSize);
VOID NTAPI StatusComplete(NDIS_HANDLE protocolBindingContext);
VOID NTAPI ResetComplete(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status);
NDIS_STATUS NTAPI PnPEvent(NDIS_HANDLE protocolBindingContext, PNET_PNP_EVENT event);

// --- Receive (receive.cpp, capture_buffer.cpp, read_queue.cpp) ---------------------------------

NDIS_STATUS NTAPI ReceiveIndication(NDIS_HANDLE protocolBindingContext,
                                    NDIS_HANDLE macReceiveContext, PVOID headerBuffer,
                                    UINT headerBufferSize, PVOID lookaheadBuffer,
                                    UINT lookaheadBufferSize, UINT packetSize);
VOID NTAPI ReceiveComplete(NDIS_HANDLE protocolBindingContext);
INT NTAPI ReceivePacket(NDIS_HANDLE protocolBindingContext, PNDIS_PACKET packet);
VOID NTAPI TransferDataComplete(NDIS_HANDLE protocolBindingContext, PNDIS_PACKET packet,
                                NDIS_STATUS status, UINT bytesTransferred);

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
VOID NTAPI SendComplete(NDIS_HANDLE protocolBindingContext, PNDIS_PACKET packet,
                        NDIS_STATUS status);

}  // namespace kestova

#endif  // KESTOVA_DRIVER_DRIVER_GLOBALS_H_
