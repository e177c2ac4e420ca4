// Driver entry and unload, the control device, and the create, close and cleanup dispatch
// routines of KESTOVA.SYS.
#include "driver_globals.h"

namespace kestova {

DriverGlobals g_globals;

namespace {

const WCHAR kDeviceName[] = KESTOVA_WIDE("\\Device\\KESTOVA");
const WCHAR kSymbolicLinkName[] = KESTOVA_WIDE("\\DosDevices\\KESTOVA");
const WCHAR kProtocolName[] = KESTOVA_WIDE("KESTOVA");

const char kBannerRule[] = "-----------------------------------------------------------";
static_assert(sizeof(kBannerRule) == 60, "the banner rule is 59 characters");

void PrintBanner() {
  DbgPrint("\n");
  DbgPrint("%s\n\n", kBannerRule);
  DbgPrint("  Description : Packet I/O Driver\n");
  DbgPrint("  Date        : %s %s \n", __DATE__, __TIME__);
  DbgPrint("  Platform    : Windows2K/XP\n");
  DbgPrint("  Interface   : NDIS 5.0 protocol, device \\Device\\KESTOVA\n");
  DbgPrint("  Captures    : NetBIOS name service frames (UDP 137 -> 137)\n");
  DbgPrint("%s\n", kBannerRule);
}

void CompleteRequest(PIRP irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
}

NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT, PIRP irp) {
  CompleteRequest(irp, STATUS_SUCCESS);
  return STATUS_SUCCESS;
}

NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->FileObject != NULL) stack->FileObject->FsContext = NULL;
  CompleteRequest(irp, STATUS_SUCCESS);
  return STATUS_SUCCESS;
}

// The last handle to the device was closed: its pending reads end with STATUS_CANCELLED.
NTSTATUS NTAPI DispatchCleanup(PDEVICE_OBJECT, PIRP irp) {
  CancelPendingReads();
  CompleteRequest(irp, STATUS_SUCCESS);
  return STATUS_SUCCESS;
}

void DeleteControlDevice() {
  if (g_globals.SymbolicLinkCreated) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kSymbolicLinkName);
    IoDeleteSymbolicLink(&link);
    g_globals.SymbolicLinkCreated = FALSE;
  }
  if (g_globals.ControlDevice != NULL) {
    IoDeleteDevice(g_globals.ControlDevice);
    g_globals.ControlDevice = NULL;
  }
}

#if defined(__i386__) && !defined(KESTOVA_HOST_STANDIN)
static_assert(sizeof(NDIS50_PROTOCOL_CHARACTERISTICS) == 108, "NDIS 5.0 characteristics size");
#endif

// Registers the protocol with NDIS 5.0 characteristics and this driver's handlers.
NDIS_STATUS RegisterProtocol() {
  NDIS50_PROTOCOL_CHARACTERISTICS characteristics;
  NdisZeroMemory(&characteristics, sizeof(characteristics));
  NDIS40_PROTOCOL_CHARACTERISTICS& chars = characteristics.Ndis40Chars;
  chars.MajorNdisVersion = 5;
  chars.MinorNdisVersion = 0;
  chars.OpenAdapterCompleteHandler = OpenAdapterComplete;
  chars.CloseAdapterCompleteHandler = CloseAdapterComplete;
  chars.SendCompleteHandler = SendComplete;
  chars.TransferDataCompleteHandler = TransferDataComplete;
  chars.ResetCompleteHandler = ResetComplete;
  chars.RequestCompleteHandler = RequestComplete;
  chars.ReceiveHandler = ReceiveIndication;
  chars.ReceiveCompleteHandler = ReceiveComplete;
  chars.StatusHandler = StatusIndication;
  chars.StatusCompleteHandler = StatusComplete;
  RtlInitUnicodeString(&chars.Name, kProtocolName);
  chars.ReceivePacketHandler = ReceivePacket;
  chars.BindAdapterHandler = BindAdapter;
  chars.UnbindAdapterHandler = UnbindAdapter;
  chars.PnPEventHandler = PnPEvent;
  chars.UnloadHandler = NULL;

  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  NdisRegisterProtocol(&status, &g_globals.ProtocolHandle, &characteristics,
                       sizeof(characteristics));
  if (status != NDIS_STATUS_SUCCESS) g_globals.ProtocolHandle = NULL;
  return status;
}

VOID NTAPI DriverUnload(PDRIVER_OBJECT) {
  DeleteControlDevice();
  if (g_globals.ProtocolHandle != NULL) {
    NDIS_HANDLE handle = g_globals.ProtocolHandle;
    g_globals.ProtocolHandle = NULL;
    NDIS_STATUS status;
    NdisDeregisterProtocol(&status, handle);
  }
  DestroyGlobals();
}

}  // namespace

void ReportAssertion(const char* expression, const char* module, int line) {
  DbgPrint("KESTOVA: assertion failed: %s, module %s, line %d\n", expression, module, line);
}

BOOLEAN ConstructGlobals() {
  NdisZeroMemory(&g_globals, sizeof(g_globals));
  InitializeListHead(&g_globals.OpenList);
  InitializeListHead(&g_globals.PendedReads);
  NdisAllocateSpinLock(&g_globals.GlobalLock);
  InitializeNotificationEvent(&g_globals.BindsComplete);
  return CreateCaptureBuffer(&g_globals.Capture);
}

void DestroyGlobals() {
  DestroyCaptureBuffer(&g_globals.Capture);
  NdisFreeSpinLock(&g_globals.GlobalLock);
  g_globals.DriverObject = NULL;
}

}  // namespace kestova

using namespace kestova;

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING);

// Builds the globals, creates the control device and its link, registers the protocol and
// installs the dispatch routines. Passive level.
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING) {
  if (!ConstructGlobals()) {
    DestroyGlobals();
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  PrintBanner();

  g_globals.DriverObject = driverObject;
  UNICODE_STRING deviceName;
  RtlInitUnicodeString(&deviceName, kDeviceName);
  PDEVICE_OBJECT device = NULL;
  NTSTATUS status = IoCreateDevice(driverObject, 0, &deviceName, FILE_DEVICE_NETWORK,
                                   FILE_DEVICE_SECURE_OPEN, FALSE, &device);
  if (!NT_SUCCESS(status)) {
    DestroyGlobals();
    return status;
  }
  g_globals.ControlDevice = device;

  UNICODE_STRING linkName;
  RtlInitUnicodeString(&linkName, kSymbolicLinkName);
  status = IoCreateSymbolicLink(&linkName, &deviceName);
  if (!NT_SUCCESS(status)) {
    DeleteControlDevice();
    DestroyGlobals();
    return status;
  }
  g_globals.SymbolicLinkCreated = TRUE;
  device->Flags |= DO_DIRECT_IO;

  if (RegisterProtocol() != NDIS_STATUS_SUCCESS) {
    DeleteControlDevice();
    DestroyGlobals();
    return STATUS_UNSUCCESSFUL;
  }

  driverObject->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
  driverObject->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
  driverObject->MajorFunction[IRP_MJ_READ] = DispatchRead;
  driverObject->MajorFunction[IRP_MJ_WRITE] = DispatchWrite;
  driverObject->MajorFunction[IRP_MJ_CLEANUP] = DispatchCleanup;
  driverObject->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceControl;
  driverObject->DriverUnload = DriverUnload;
  return STATUS_SUCCESS;
}
