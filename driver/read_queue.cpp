// Receive: reads on the control device. A read is queued, marked pending and given a cancel
// routine; whoever clears that routine with the atomic exchange (the servicing code, the
// cancel-all sweep or the I/O manager's cancellation) owns the request and completes it, always
// outside any spin lock.
#include "driver_globals.h"

namespace kestova {

namespace {

VOID NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp);

PIRP IrpFromEntry(LIST_ENTRY* entry) {
  return CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
}

// Caller holds the global lock. Takes the first queued read that can still be claimed (its
// cancel routine cleared) out of the queue; reads whose cancellation has begun are left to their
// cancel routine. NULL if there is none.
PIRP ClaimFirstRead() {
  for (LIST_ENTRY* entry = g_globals.PendedReads.Flink; entry != &g_globals.PendedReads;
       entry = entry->Flink) {
    PIRP irp = IrpFromEntry(entry);
    if (IoSetCancelRoutine(irp, NULL) != NULL) {
      RemoveEntryList(entry);
      InitializeListHead(entry);
      --g_globals.PendedReadCount;
      return irp;
    }
  }
  return NULL;
}

void CompleteRead(PIRP irp, NTSTATUS status, ULONG information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
}

// Runs with the system cancel lock held, which it releases first.
VOID NTAPI CancelRead(PDEVICE_OBJECT, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  BOOLEAN found = FALSE;
  AcquireGlobalLock();
  for (LIST_ENTRY* entry = g_globals.PendedReads.Flink; entry != &g_globals.PendedReads;
       entry = entry->Flink) {
    if (IrpFromEntry(entry) == irp) {
      RemoveEntryList(entry);
      InitializeListHead(entry);
      --g_globals.PendedReadCount;
      found = TRUE;
      break;
    }
  }
  ReleaseGlobalLock();
  if (found) CompleteRead(irp, STATUS_CANCELLED, 0);
}

}  // namespace

// Passive level. Always returns STATUS_PENDING for a queued read, even when it has already been
// completed from buffered records before returning.
NTSTATUS NTAPI DispatchRead(PDEVICE_OBJECT, PIRP irp) {
  if (irp->MdlAddress == NULL) {
    CompleteRead(irp, STATUS_INVALID_PARAMETER, 0);
    return STATUS_INVALID_PARAMETER;
  }
  if (MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority) == NULL) {
    CompleteRead(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    return STATUS_INSUFFICIENT_RESOURCES;
  }

  IoMarkIrpPending(irp);
  BOOLEAN cancelledAlready = FALSE;
  AcquireGlobalLock();
  InsertTailList(&g_globals.PendedReads, &irp->Tail.Overlay.ListEntry);
  ++g_globals.PendedReadCount;
  IoSetCancelRoutine(irp, CancelRead);
  // Cancelled before the routine was set: nobody else will complete it, so take it back now
  // (unless the cancel routine got in first, which then completes it).
  if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
    --g_globals.PendedReadCount;
    cancelledAlready = TRUE;
  }
  ReleaseGlobalLock();

  if (cancelledAlready) {
    CompleteRead(irp, STATUS_CANCELLED, 0);
  } else {
    ServiceReads();
  }
  return STATUS_PENDING;
}

// Claiming a read and copying into it happen under the global lock, so two servicing threads
// never both claim a read for the same buffered bytes (which would complete one of them empty).
void ServiceReads() {
  for (;;) {
    AcquireGlobalLock();
    if (IsListEmpty(&g_globals.PendedReads) || CaptureBufferIsEmpty(&g_globals.Capture)) {
      ReleaseGlobalLock();
      return;
    }
    PIRP irp = ClaimFirstRead();
    if (irp == NULL) {
      ReleaseGlobalLock();
      return;
    }
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    UCHAR* destination =
        static_cast<UCHAR*>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority));
    KESTOVA_ASSERT_REPORTING(destination != NULL, "pDst != NULL");
    ULONG copied = 0;
    if (destination != NULL) {
      copied =
          TakeFromCaptureBuffer(&g_globals.Capture, destination, stack->Parameters.Read.Length);
    }
    ReleaseGlobalLock();
    CompleteRead(irp, destination != NULL ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES, copied);
  }
}

// Cancels the reads queued at the moment of the call, once. The capture client issues a new read
// as soon as one completes, so sweeping until the queue stays empty could go on for ever; reads
// queued after the sweep began stay pending. Reads whose cancellation has already begun are
// completed by their cancel routine.
void CancelPendingReads() {
  LIST_ENTRY claimed;
  InitializeListHead(&claimed);
  AcquireGlobalLock();
  for (PIRP irp = ClaimFirstRead(); irp != NULL; irp = ClaimFirstRead()) {
    InsertTailList(&claimed, &irp->Tail.Overlay.ListEntry);
  }
  ReleaseGlobalLock();
  while (!IsListEmpty(&claimed)) {
    LIST_ENTRY* entry = RemoveHeadList(&claimed);
    CompleteRead(IrpFromEntry(entry), STATUS_CANCELLED, 0);
  }
}

}  // namespace kestova
