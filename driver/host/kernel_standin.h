// A user-mode stand-in of the parts of the Windows kernel and NDIS 5.0 that KESTOVA.SYS uses,
// with the same names, types and calling forms as the DDK, so that the driver sources compile
// unchanged for tests. Behaviour follows the real functions where the driver depends on it:
// IoSetCancelRoutine is an atomic exchange, a cancel routine runs with the cancel lock held,
// an IRP completes once and never with a cancel routine set or under a spin lock, NDIS requests
// and waits are refused under a spin lock, every allocation must be freed with its own size
// and tag. Breaches are recorded as faults (kernel_standin_control.h) for the tests to check.
//
// Only the driver (through driver/kernel_api.h) and the stand-in itself include this header.
#ifndef KESTOVA_DRIVER_HOST_KERNEL_STANDIN_H_
#define KESTOVA_DRIVER_HOST_KERNEL_STANDIN_H_

#include <stddef.h>
#include <stdint.h>

// --- Basic types --------------------------------------------------------------------------------

#define NTAPI
#define VOID void
#define IN
#define OUT
#define OPTIONAL
typedef uint8_t UCHAR, *PUCHAR;
typedef char CCHAR;
typedef uint16_t USHORT;
typedef uint32_t ULONG, *PULONG;
typedef int32_t LONG, *PLONG;
typedef unsigned int UINT, *PUINT;
typedef int INT;
typedef uint8_t BOOLEAN;
typedef void* PVOID;
typedef uintptr_t ULONG_PTR;
typedef char16_t WCHAR, *PWSTR;
typedef const char16_t* PCWSTR;
typedef int32_t NTSTATUS;
typedef int NDIS_STATUS, *PNDIS_STATUS;
typedef void* NDIS_HANDLE;
typedef NDIS_HANDLE* PNDIS_HANDLE;
typedef ULONG NDIS_OID;
typedef UCHAR KIRQL, *PKIRQL;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define NT_SUCCESS(status) (((NTSTATUS)(status)) >= 0)
#define STATUS_SUCCESS ((NTSTATUS)0x00000000)
#define STATUS_TIMEOUT ((NTSTATUS)0x00000102)
#define STATUS_PENDING ((NTSTATUS)0x00000103)
#define STATUS_IO_TIMEOUT ((NTSTATUS)0xC00000B5)
#define STATUS_BUFFER_OVERFLOW ((NTSTATUS)0x80000005)
#define STATUS_NO_MORE_ENTRIES ((NTSTATUS)0x8000001A)
#define STATUS_UNSUCCESSFUL ((NTSTATUS)0xC0000001)
#define STATUS_INVALID_HANDLE ((NTSTATUS)0xC0000008)
#define STATUS_INVALID_PARAMETER ((NTSTATUS)0xC000000D)
#define STATUS_BUFFER_TOO_SMALL ((NTSTATUS)0xC0000023)
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035)
#define STATUS_INSUFFICIENT_RESOURCES ((NTSTATUS)0xC000009A)
#define STATUS_DEVICE_NOT_READY ((NTSTATUS)0xC00000A3)
#define STATUS_NOT_SUPPORTED ((NTSTATUS)0xC00000BB)
#define STATUS_CANCELLED ((NTSTATUS)0xC0000120)
#define STATUS_INVALID_BUFFER_SIZE ((NTSTATUS)0xC0000206)

#define NDIS_STATUS_SUCCESS ((NDIS_STATUS)STATUS_SUCCESS)
#define NDIS_STATUS_PENDING ((NDIS_STATUS)STATUS_PENDING)
#define NDIS_STATUS_NOT_ACCEPTED ((NDIS_STATUS)0x00010003)
#define NDIS_STATUS_RESET_START ((NDIS_STATUS)0x40010004)
#define NDIS_STATUS_RESET_END ((NDIS_STATUS)0x40010005)
#define NDIS_STATUS_MEDIA_CONNECT ((NDIS_STATUS)0x4001000B)
#define NDIS_STATUS_MEDIA_DISCONNECT ((NDIS_STATUS)0x4001000C)
#define NDIS_STATUS_BUFFER_OVERFLOW ((NDIS_STATUS)STATUS_BUFFER_OVERFLOW)
#define NDIS_STATUS_FAILURE ((NDIS_STATUS)STATUS_UNSUCCESSFUL)
#define NDIS_STATUS_RESOURCES ((NDIS_STATUS)STATUS_INSUFFICIENT_RESOURCES)
#define NDIS_STATUS_NOT_SUPPORTED ((NDIS_STATUS)STATUS_NOT_SUPPORTED)
#define NDIS_STATUS_CLOSING ((NDIS_STATUS)0xC0010002)
#define NDIS_STATUS_ADAPTER_NOT_FOUND ((NDIS_STATUS)0xC0010006)
#define NDIS_STATUS_ADAPTER_NOT_READY ((NDIS_STATUS)0xC0010011)
#define NDIS_STATUS_INVALID_LENGTH ((NDIS_STATUS)0xC0010014)
#define NDIS_STATUS_INVALID_DATA ((NDIS_STATUS)0xC0010015)
#define NDIS_STATUS_BUFFER_TOO_SHORT ((NDIS_STATUS)0xC0010016)
#define NDIS_STATUS_INVALID_OID ((NDIS_STATUS)0xC0010017)
#define NDIS_STATUS_UNSUPPORTED_MEDIA ((NDIS_STATUS)0xC0010019)

// --- Lists, strings, memory, debug print ---------------------------------------------------------

typedef struct _LIST_ENTRY {
  struct _LIST_ENTRY* Flink;
  struct _LIST_ENTRY* Blink;
} LIST_ENTRY, *PLIST_ENTRY;

#define CONTAINING_RECORD(address, type, field) ((type*)((char*)(address)-offsetof(type, field)))

inline void InitializeListHead(PLIST_ENTRY head) { head->Flink = head->Blink = head; }
inline BOOLEAN IsListEmpty(const LIST_ENTRY* head) { return head->Flink == head; }
inline BOOLEAN RemoveEntryList(PLIST_ENTRY entry) {
  PLIST_ENTRY next = entry->Flink;
  PLIST_ENTRY previous = entry->Blink;
  previous->Flink = next;
  next->Blink = previous;
  return next == previous;
}
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY head) {
  PLIST_ENTRY entry = head->Flink;
  RemoveEntryList(entry);
  return entry;
}
inline void InsertTailList(PLIST_ENTRY head, PLIST_ENTRY entry) {
  PLIST_ENTRY last = head->Blink;
  entry->Flink = head;
  entry->Blink = last;
  last->Flink = entry;
  head->Blink = entry;
}

typedef struct _UNICODE_STRING {
  USHORT Length;
  USHORT MaximumLength;
  PWSTR Buffer;
} UNICODE_STRING, *PUNICODE_STRING, NDIS_STRING, *PNDIS_STRING;

void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source);

ULONG DbgPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Refuses (as a fault) overlapping regions, as the real copy does not promise to handle them.
void NdisMoveMemory(PVOID destination, const void* source, size_t length);
void NdisZeroMemory(PVOID destination, size_t length);
void RtlMoveMemory(PVOID destination, const void* source, size_t length);
BOOLEAN NdisEqualMemory(const void* a, const void* b, size_t length);

typedef enum _POOL_TYPE { NonPagedPool = 0, PagedPool = 1 } POOL_TYPE;
PVOID ExAllocatePoolWithTag(POOL_TYPE type, size_t size, ULONG tag);
void ExFreePoolWithTag(PVOID block, ULONG tag);
NDIS_STATUS NdisAllocateMemoryWithTag(PVOID* block, UINT length, ULONG tag);
// `length` must be the length the block was allocated with.
void NdisFreeMemory(PVOID block, UINT length, UINT flags);

// --- Synchronisation ----------------------------------------------------------------------------

// A spin lock is a heap object created by NdisAllocateSpinLock and destroyed by NdisFreeSpinLock.
typedef struct _NDIS_SPIN_LOCK {
  void* standinLock;
  KIRQL OldIrql;
} NDIS_SPIN_LOCK, *PNDIS_SPIN_LOCK;
void NdisAllocateSpinLock(PNDIS_SPIN_LOCK lock);
void NdisFreeSpinLock(PNDIS_SPIN_LOCK lock);
void NdisAcquireSpinLock(PNDIS_SPIN_LOCK lock);
void NdisReleaseSpinLock(PNDIS_SPIN_LOCK lock);

// A notification event; like the kernel's it needs no destruction.
typedef struct _NDIS_EVENT {
  int standinSignaled;
} NDIS_EVENT, *PNDIS_EVENT;
void NdisInitializeEvent(PNDIS_EVENT event);
void NdisSetEvent(PNDIS_EVENT event);
void NdisResetEvent(PNDIS_EVENT event);
// Waits at most `milliseconds` (0: without limit); TRUE if the event is set.
BOOLEAN NdisWaitEvent(PNDIS_EVENT event, UINT milliseconds);

void NdisMSleep(ULONG microseconds);

LONG NdisInterlockedIncrement(PLONG addend);
LONG NdisInterlockedDecrement(PLONG addend);
LONG InterlockedCompareExchange(volatile LONG* destination, LONG exchange, LONG comparand);

// --- I/O manager --------------------------------------------------------------------------------

typedef struct _DEVICE_OBJECT DEVICE_OBJECT, *PDEVICE_OBJECT;
typedef struct _IRP IRP, *PIRP;
typedef struct _DRIVER_OBJECT DRIVER_OBJECT, *PDRIVER_OBJECT;

typedef NTSTATUS (*PDRIVER_DISPATCH)(PDEVICE_OBJECT device, PIRP irp);
typedef VOID (*PDRIVER_CANCEL)(PDEVICE_OBJECT device, PIRP irp);
typedef VOID (*PDRIVER_UNLOAD)(PDRIVER_OBJECT driver);

#define IRP_MJ_CREATE 0x00
#define IRP_MJ_CLOSE 0x02
#define IRP_MJ_READ 0x03
#define IRP_MJ_WRITE 0x04
#define IRP_MJ_DEVICE_CONTROL 0x0e
#define IRP_MJ_CLEANUP 0x12
#define IRP_MJ_MAXIMUM_FUNCTION 0x1b
#define FILE_DEVICE_NETWORK 0x00000012
#define FILE_DEVICE_SECURE_OPEN 0x00000100
#define DO_DIRECT_IO 0x00000010
#define IO_NO_INCREMENT 0

struct _DRIVER_OBJECT {
  PDEVICE_OBJECT DeviceObject;
  PDRIVER_UNLOAD DriverUnload;
  PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct _DEVICE_OBJECT {
  PDRIVER_OBJECT DriverObject;
  ULONG Flags;
  ULONG DeviceType;
  ULONG Characteristics;
  BOOLEAN Exclusive;
  ULONG DeviceExtensionSize;
};

typedef struct _FILE_OBJECT {
  PVOID FsContext;
} FILE_OBJECT, *PFILE_OBJECT;

// A memory descriptor list; NDIS buffers are MDLs too.
typedef struct _MDL {
  struct _MDL* Next;
  PVOID MappedSystemVa;
  ULONG ByteCount;
  ULONG standinDescribed;  // bytes described when built (the most NdisAdjustBufferLength may set)
  BOOLEAN standinUnmappable;
  void* standinPool;
} MDL, *PMDL, NDIS_BUFFER, *PNDIS_BUFFER;

typedef enum _MM_PAGE_PRIORITY {
  LowPagePriority = 0,
  NormalPagePriority = 16,
  HighPagePriority = 32
} MM_PAGE_PRIORITY;
PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY priority);
ULONG MmGetMdlByteCount(PMDL mdl);

typedef struct _IO_STATUS_BLOCK {
  NTSTATUS Status;
  ULONG_PTR Information;
} IO_STATUS_BLOCK;

typedef struct _IO_STACK_LOCATION {
  UCHAR MajorFunction;
  union {
    struct {
      ULONG Length;
    } Read;
    struct {
      ULONG Length;
    } Write;
    struct {
      ULONG OutputBufferLength;
      ULONG InputBufferLength;
      ULONG IoControlCode;
    } DeviceIoControl;
  } Parameters;
  PDEVICE_OBJECT DeviceObject;
  PFILE_OBJECT FileObject;
} IO_STACK_LOCATION, *PIO_STACK_LOCATION;

struct _IRP {
  PMDL MdlAddress;
  union {
    PVOID SystemBuffer;
  } AssociatedIrp;
  IO_STATUS_BLOCK IoStatus;
  BOOLEAN PendingReturned;
  BOOLEAN Cancel;
  KIRQL CancelIrql;
  PDRIVER_CANCEL CancelRoutine;  // only through IoSetCancelRoutine
  struct {
    struct {
      LIST_ENTRY ListEntry;
    } Overlay;
  } Tail;
  IO_STACK_LOCATION standinStack;
  void* standinRequest;  // the harness's record of this request
};

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return &irp->standinStack; }
inline void IoMarkIrpPending(PIRP irp) { irp->PendingReturned = TRUE; }
// Atomic exchange of the IRP's cancel routine; returns the previous one.
PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine);
void IoAcquireCancelSpinLock(PKIRQL irql);
void IoReleaseCancelSpinLock(KIRQL irql);
void IoCompleteRequest(PIRP irp, CCHAR priorityBoost);

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name,
                        ULONG type, ULONG characteristics, BOOLEAN exclusive,
                        PDEVICE_OBJECT* device);
void IoDeleteDevice(PDEVICE_OBJECT device);
NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target);
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link);

// --- NDIS packets and buffers --------------------------------------------------------------------

typedef struct _NDIS_PACKET_PRIVATE {
  PNDIS_BUFFER Head;
  PNDIS_BUFFER Tail;
  NDIS_HANDLE Pool;
} NDIS_PACKET_PRIVATE;

// The protocol-reserved area is exactly as long as the pool was created with.
typedef struct _NDIS_PACKET {
  NDIS_PACKET_PRIVATE Private;
  NDIS_STATUS standinStatus;
  UINT standinReservedLength;
  UCHAR ProtocolReserved[];
} NDIS_PACKET, *PNDIS_PACKET;

#define NDIS_GET_PACKET_STATUS(packet) ((packet)->standinStatus)
#define NDIS_SET_PACKET_STATUS(packet, status) ((packet)->standinStatus = (status))

void NdisAllocatePacketPoolEx(PNDIS_STATUS status, PNDIS_HANDLE pool, UINT descriptors,
                              UINT overflowDescriptors, UINT protocolReservedLength);
// No NdisSetPacketPoolProtocolId: it is NDIS 5.1 only, and the driver must load on Windows 2000.
void NdisFreePacketPool(NDIS_HANDLE pool);
void NdisAllocatePacket(PNDIS_STATUS status, PNDIS_PACKET* packet, NDIS_HANDLE pool);
void NdisFreePacket(PNDIS_PACKET packet);
void NdisAllocateBufferPool(PNDIS_STATUS status, PNDIS_HANDLE pool, UINT descriptors);
void NdisFreeBufferPool(NDIS_HANDLE pool);
void NdisAllocateBuffer(PNDIS_STATUS status, PNDIS_BUFFER* buffer, NDIS_HANDLE pool, PVOID address,
                        UINT length);
void NdisFreeBuffer(PNDIS_BUFFER buffer);
void NdisChainBufferAtFront(PNDIS_PACKET packet, PNDIS_BUFFER buffer);
void NdisUnchainBufferAtFront(PNDIS_PACKET packet, PNDIS_BUFFER* buffer);
void NdisQueryPacketFirstBuffer(PNDIS_PACKET packet, PNDIS_BUFFER* buffer);
void NdisQueryBufferSafe(PNDIS_BUFFER buffer, PVOID* address, PUINT length,
                         MM_PAGE_PRIORITY priority);
void NdisGetNextBuffer(PNDIS_BUFFER buffer, PNDIS_BUFFER* next);
void NdisAdjustBufferLength(PNDIS_BUFFER buffer, UINT length);
void NdisRecalculatePacketCounts(PNDIS_PACKET packet);
void NdisCopyFromPacketToPacket(PNDIS_PACKET destination, UINT destinationOffset, UINT bytes,
                                PNDIS_PACKET source, UINT sourceOffset, PUINT bytesCopied);
void NdisReturnPackets(PNDIS_PACKET* packets, UINT count);

// --- NDIS protocol interface ---------------------------------------------------------------------

typedef enum _NDIS_MEDIUM {
  NdisMedium802_3,
  NdisMedium802_5,
  NdisMediumFddi,
  NdisMediumWan,
  NdisMediumLocalTalk,
  NdisMediumDix,
  NdisMediumArcnetRaw,
  NdisMediumArcnet878_2,
  NdisMediumAtm,
  NdisMediumWirelessWan
} NDIS_MEDIUM,
    *PNDIS_MEDIUM;

typedef enum _NDIS_REQUEST_TYPE {
  NdisRequestQueryInformation,
  NdisRequestSetInformation,
  NdisRequestQueryStatistics
} NDIS_REQUEST_TYPE;

typedef struct _NDIS_REQUEST {
  UCHAR MacReserved[16];
  NDIS_REQUEST_TYPE RequestType;
  union {
    struct {
      NDIS_OID Oid;
      PVOID InformationBuffer;
      UINT InformationBufferLength;
      UINT BytesWritten;
      UINT BytesNeeded;
    } QUERY_INFORMATION;
    struct {
      NDIS_OID Oid;
      PVOID InformationBuffer;
      UINT InformationBufferLength;
      UINT BytesRead;
      UINT BytesNeeded;
    } SET_INFORMATION;
  } DATA;
} NDIS_REQUEST, *PNDIS_REQUEST;

typedef enum _NET_PNP_EVENT_CODE {
  NetEventSetPower,
  NetEventQueryPower,
  NetEventQueryRemoveDevice,
  NetEventCancelRemoveDevice,
  NetEventReconfigure,
  NetEventBindList,
  NetEventBindsComplete,
  NetEventPnPCapabilities,
  NetEventMaximum
} NET_PNP_EVENT_CODE;

typedef enum _NET_DEVICE_POWER_STATE {
  NetDeviceStateUnspecified,
  NetDeviceStateD0,
  NetDeviceStateD1,
  NetDeviceStateD2,
  NetDeviceStateD3
} NET_DEVICE_POWER_STATE,
    *PNET_DEVICE_POWER_STATE;

typedef struct _NET_PNP_EVENT {
  NET_PNP_EVENT_CODE NetEvent;
  PVOID Buffer;
  ULONG BufferLength;
} NET_PNP_EVENT, *PNET_PNP_EVENT;

typedef enum _NDIS_PARAMETER_TYPE {
  NdisParameterInteger,
  NdisParameterHexInteger,
  NdisParameterString,
  NdisParameterMultiString,
  NdisParameterBinary
} NDIS_PARAMETER_TYPE;

typedef struct _NDIS_CONFIGURATION_PARAMETER {
  NDIS_PARAMETER_TYPE ParameterType;
  union {
    ULONG IntegerData;
    NDIS_STRING StringData;
  } ParameterData;
} NDIS_CONFIGURATION_PARAMETER, *PNDIS_CONFIGURATION_PARAMETER;

typedef VOID (*OPEN_ADAPTER_COMPLETE_HANDLER)(NDIS_HANDLE, NDIS_STATUS, NDIS_STATUS);
typedef VOID (*CLOSE_ADAPTER_COMPLETE_HANDLER)(NDIS_HANDLE, NDIS_STATUS);
typedef VOID (*SEND_COMPLETE_HANDLER)(NDIS_HANDLE, PNDIS_PACKET, NDIS_STATUS);
typedef VOID (*TRANSFER_DATA_COMPLETE_HANDLER)(NDIS_HANDLE, PNDIS_PACKET, NDIS_STATUS, UINT);
typedef VOID (*RESET_COMPLETE_HANDLER)(NDIS_HANDLE, NDIS_STATUS);
typedef VOID (*REQUEST_COMPLETE_HANDLER)(NDIS_HANDLE, PNDIS_REQUEST, NDIS_STATUS);
typedef NDIS_STATUS (*RECEIVE_HANDLER)(NDIS_HANDLE, NDIS_HANDLE, PVOID, UINT, PVOID, UINT, UINT);
typedef VOID (*RECEIVE_COMPLETE_HANDLER)(NDIS_HANDLE);
typedef VOID (*STATUS_HANDLER)(NDIS_HANDLE, NDIS_STATUS, PVOID, UINT);
typedef VOID (*STATUS_COMPLETE_HANDLER)(NDIS_HANDLE);
typedef INT (*RECEIVE_PACKET_HANDLER)(NDIS_HANDLE, PNDIS_PACKET);
typedef VOID (*BIND_HANDLER)(PNDIS_STATUS, NDIS_HANDLE, PNDIS_STRING, PVOID, PVOID);
typedef VOID (*UNBIND_HANDLER)(PNDIS_STATUS, NDIS_HANDLE, NDIS_HANDLE);
typedef NDIS_STATUS (*PNP_EVENT_HANDLER)(NDIS_HANDLE, PNET_PNP_EVENT);
typedef VOID (*UNLOAD_PROTOCOL_HANDLER)(VOID);

typedef struct _NDIS40_PROTOCOL_CHARACTERISTICS {
  UCHAR MajorNdisVersion;
  UCHAR MinorNdisVersion;
  USHORT Filler;
  UINT Flags;
  OPEN_ADAPTER_COMPLETE_HANDLER OpenAdapterCompleteHandler;
  CLOSE_ADAPTER_COMPLETE_HANDLER CloseAdapterCompleteHandler;
  SEND_COMPLETE_HANDLER SendCompleteHandler;
  TRANSFER_DATA_COMPLETE_HANDLER TransferDataCompleteHandler;
  RESET_COMPLETE_HANDLER ResetCompleteHandler;
  REQUEST_COMPLETE_HANDLER RequestCompleteHandler;
  RECEIVE_HANDLER ReceiveHandler;
  RECEIVE_COMPLETE_HANDLER ReceiveCompleteHandler;
  STATUS_HANDLER StatusHandler;
  STATUS_COMPLETE_HANDLER StatusCompleteHandler;
  NDIS_STRING Name;
  RECEIVE_PACKET_HANDLER ReceivePacketHandler;
  BIND_HANDLER BindAdapterHandler;
  UNBIND_HANDLER UnbindAdapterHandler;
  PNP_EVENT_HANDLER PnPEventHandler;
  UNLOAD_PROTOCOL_HANDLER UnloadHandler;
} NDIS40_PROTOCOL_CHARACTERISTICS;

typedef struct _NDIS50_PROTOCOL_CHARACTERISTICS {
  NDIS40_PROTOCOL_CHARACTERISTICS Ndis40Chars;
  PVOID ReservedHandlers[4];
  PVOID CoSendCompleteHandler;
  PVOID CoStatusHandler;
  PVOID CoReceivePacketHandler;
  PVOID CoAfRegisterNotifyHandler;
} NDIS50_PROTOCOL_CHARACTERISTICS, NDIS_PROTOCOL_CHARACTERISTICS, *PNDIS_PROTOCOL_CHARACTERISTICS;

void NdisRegisterProtocol(PNDIS_STATUS status, PNDIS_HANDLE protocolHandle,
                          PNDIS_PROTOCOL_CHARACTERISTICS characteristics, UINT length);
void NdisDeregisterProtocol(PNDIS_STATUS status, NDIS_HANDLE protocolHandle);
void NdisOpenAdapter(PNDIS_STATUS status, PNDIS_STATUS openErrorStatus, PNDIS_HANDLE bindingHandle,
                     PUINT selectedMediumIndex, PNDIS_MEDIUM mediumArray, UINT mediumArraySize,
                     NDIS_HANDLE protocolHandle, NDIS_HANDLE protocolBindingContext,
                     PNDIS_STRING adapterName, UINT openOptions, PVOID addressingInformation);
void NdisCloseAdapter(PNDIS_STATUS status, NDIS_HANDLE bindingHandle);
void NdisRequest(PNDIS_STATUS status, NDIS_HANDLE bindingHandle, PNDIS_REQUEST request);
void NdisTransferData(PNDIS_STATUS status, NDIS_HANDLE bindingHandle, NDIS_HANDLE macReceiveContext,
                      UINT byteOffset, UINT bytesToTransfer, PNDIS_PACKET packet,
                      PUINT bytesTransferred);
NDIS_STATUS NdisQueryAdapterInstanceName(PNDIS_STRING name, NDIS_HANDLE bindingHandle);
void NdisOpenProtocolConfiguration(PNDIS_STATUS status, PNDIS_HANDLE configuration,
                                   PNDIS_STRING protocolSection);
void NdisReadConfiguration(PNDIS_STATUS status, PNDIS_CONFIGURATION_PARAMETER* parameter,
                           NDIS_HANDLE configuration, PNDIS_STRING keyword,
                           NDIS_PARAMETER_TYPE type);
void NdisCloseConfiguration(NDIS_HANDLE configuration);

#endif  // KESTOVA_DRIVER_HOST_KERNEL_STANDIN_H_
