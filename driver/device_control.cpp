// The device-control operations of the control device: query and set an adapter's OID, list
// the active bindings, wait for binding to complete; and the mapping of their results to the
// status the request completes with.
#include "driver_globals.h"

namespace kestova {

namespace {

constexpr ULONG kWaitForBindingMs = 5000;

// OIDs that user mode may set: IEEE 802.11 configuration and the 802.3 multicast list.
const NDIS_OID kSettableOids[] = {
    0x0D010108, 0x0D010118, 0x0D01011C, 0x0D010114, 0x0D01011B, 0x0D01011A,
    0x0D010113, 0x0D010102, 0x0D010101, 0x0D010217, 0x0D010115, 0x0D020212,
    0x0D010216, 0x0D010204, 0x0D010206, 0x0D01020E, 0x0D010211, 0x01010103,
};
static_assert(sizeof(kSettableOids) / sizeof(kSettableOids[0]) == 18, "18 settable OIDs");

BOOLEAN IsSettableOid(NDIS_OID oid) {
  for (NDIS_OID settable : kSettableOids) {
    if (settable == oid) return TRUE;
  }
  return FALSE;
}

ULONG ReadWord(const UCHAR* bytes) {
  return static_cast<ULONG>(bytes[0]) | (static_cast<ULONG>(bytes[1]) << 8) |
         (static_cast<ULONG>(bytes[2]) << 16) | (static_cast<ULONG>(bytes[3]) << 24);
}

void WriteWord(UCHAR* bytes, ULONG value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<UCHAR>(value >> (8 * i));
}

// Query or set an OID of the adapter named by the key at the start of `buffer`. The OID data
// starts at byte 12 and is `dataLength` long. Returns the NDIS result; *information is the byte
// count the request reports.
NDIS_STATUS AdapterOidRequest(NDIS_REQUEST_TYPE type, UCHAR* buffer, ULONG dataLength,
                              ULONG* information) {
  NDIS_OID oid = ReadWord(buffer + 8);
  // The adapter first: an unknown key is "not ready" whatever the OID.
  OpenContext* pOpenContext = ReferenceActiveByKey(buffer);
  if (pOpenContext == NULL) return NDIS_STATUS_ADAPTER_NOT_READY;
  if (type == NdisRequestSetInformation && !IsSettableOid(oid)) {
    DerefRequests(pOpenContext);
    return NDIS_STATUS_INVALID_DATA;
  }
  ULONG processed = 0;
  NDIS_STATUS status =
      DoRequest(pOpenContext, type, oid, buffer + kOidRequestDataOffset, dataLength, &processed);
  DerefRequests(pOpenContext);
  if (status == NDIS_STATUS_SUCCESS && type == NdisRequestQueryInformation) {
    *information = processed + kOidRequestDataOffset;
  }
  return status;
}

// Fills `buffer` with the n-th active binding (n in its first 4 bytes).
NDIS_STATUS QueryBinding(UCHAR* buffer, ULONG outputLength, ULONG* information) {
  ULONG index = ReadWord(buffer);
  NDIS_STATUS status = NDIS_STATUS_ADAPTER_NOT_FOUND;
  AcquireGlobalLock();
  ULONG seen = 0;
  for (LIST_ENTRY* entry = g_globals.OpenList.Flink; entry != &g_globals.OpenList;
       entry = entry->Flink) {
    OpenContext* pOpenContext = CONTAINING_RECORD(entry, OpenContext, Link);
    if (!TestFlags(pOpenContext->Flags, kBindStateMask, kBindActive)) continue;
    if (seen++ != index) continue;
    ULONG nameLength = pOpenContext->DeviceName.capacity;
    ULONG descriptionLength = pOpenContext->DeviceDescription.capacity;
    if (kBindingInfoHeaderSize + nameLength + descriptionLength > outputLength) {
      status = NDIS_STATUS_BUFFER_OVERFLOW;
      break;
    }
    const UCHAR* key = pOpenContext->AdapterKey;
    WriteWord(buffer + 0, index);
    WriteWord(buffer + 4, ReadWord(key));
    WriteWord(buffer + 8, ReadWord(key + 4));
    WriteWord(buffer + 12, kBindingInfoHeaderSize);
    WriteWord(buffer + 16, nameLength);
    WriteWord(buffer + 20, kBindingInfoHeaderSize + nameLength);
    WriteWord(buffer + 24, descriptionLength);
    UCHAR* text = buffer + kBindingInfoHeaderSize;
    NdisZeroMemory(text, outputLength - kBindingInfoHeaderSize);
    NdisMoveMemory(text, pOpenContext->DeviceName.buffer, nameLength);
    NdisMoveMemory(text + nameLength, pOpenContext->DeviceDescription.buffer, descriptionLength);
    *information = kBindingInfoHeaderSize + nameLength + descriptionLength;
    status = NDIS_STATUS_SUCCESS;
    break;
  }
  ReleaseGlobalLock();
  return status;
}

}  // namespace

NTSTATUS MapOperationStatus(NDIS_STATUS status) {
  switch (static_cast<ULONG>(status)) {
    case 0x00000000:  // success
    case 0x00000103:  // pending
    case 0x80000005:  // buffer overflow
    case 0xC0000001:  // unsuccessful
    case 0xC000009A:  // insufficient resources
    case 0xC00000BB:  // not supported
      return static_cast<NTSTATUS>(status);
    case 0xC0010006:  // adapter not found
      return STATUS_NO_MORE_ENTRIES;
    case 0xC0010011:  // adapter not ready
      return STATUS_DEVICE_NOT_READY;
    case 0xC0010014:  // invalid length
      return STATUS_INVALID_BUFFER_SIZE;
    case 0xC0010015:  // invalid data
      return STATUS_INVALID_PARAMETER;
    case 0xC0010016:  // buffer too short
      return STATUS_BUFFER_TOO_SMALL;
    default:
      return STATUS_UNSUCCESSFUL;
  }
}

// Passive level, in the caller's thread. Every operation completes the request before returning.
NTSTATUS NTAPI DispatchDeviceControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
  ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
  ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
  UCHAR* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
  ULONG information = 0;
  NTSTATUS status;

  switch (code) {
    case kIoctlWaitForBinding:
      // An error status, so that the request fails in user mode (STATUS_TIMEOUT is a
      // success status there).
      status = NdisWaitEvent(&g_globals.BindsComplete, kWaitForBindingMs) ? STATUS_SUCCESS
                                                                          : STATUS_IO_TIMEOUT;
      break;
    case kIoctlQueryOid:
      // The key and the OID are read from the input, so it must hold them too.
      if (outputLength < kOidRequestMinimumLength || inputLength < kOidRequestDataOffset ||
          buffer == NULL) {
        status = MapOperationStatus(NDIS_STATUS_BUFFER_TOO_SHORT);
      } else {
        status = MapOperationStatus(AdapterOidRequest(NdisRequestQueryInformation, buffer,
                                                      outputLength - kOidRequestDataOffset,
                                                      &information));
      }
      break;
    case kIoctlSetOid:
      if (inputLength < kOidRequestMinimumLength || buffer == NULL) {
        status = MapOperationStatus(NDIS_STATUS_BUFFER_TOO_SHORT);
      } else {
        status = MapOperationStatus(AdapterOidRequest(
            NdisRequestSetInformation, buffer, inputLength - kOidRequestDataOffset, &information));
      }
      break;
    case kIoctlQueryBinding:
      if (inputLength < kBindingInfoHeaderSize || buffer == NULL) {
        status = MapOperationStatus(NDIS_STATUS_RESOURCES);
      } else if (outputLength < kBindingInfoHeaderSize) {
        status = MapOperationStatus(NDIS_STATUS_BUFFER_OVERFLOW);
      } else {
        status = MapOperationStatus(QueryBinding(buffer, outputLength, &information));
      }
      break;
    default:
      status = STATUS_NOT_SUPPORTED;
      break;
  }

  // No operation pends: each has finished here, so the request is completed now.
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace kestova
