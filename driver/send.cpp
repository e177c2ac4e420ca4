// Send: this driver sends nothing. No operation of its interface ties a file object to an
// adapter, so a write has no adapter to go to.
#include "driver_globals.h"

namespace kestova {

NTSTATUS NTAPI DispatchWrite(PDEVICE_OBJECT, PIRP irp) {
  irp->IoStatus.Status = STATUS_INVALID_HANDLE;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_INVALID_HANDLE;
}

// Never called, since no packet is ever sent.
VOID NTAPI SendComplete(NDIS_HANDLE, PNDIS_PACKET, NDIS_STATUS) {}

}  // namespace kestova
