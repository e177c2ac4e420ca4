// NdisBind: the status, PnP and other small handlers NDIS calls for a binding.
#include "driver_globals.h"

namespace kestova {

// May run at dispatch level. Indications count only while the adapter is powered (D0).
VOID NTAPI StatusIndication(NDIS_HANDLE protocol_binding_context, NDIS_STATUS status, PVOID, UINT) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocol_binding_context);
  if (pOpenContext == NULL) return;
  AcquireGlobalLock();
  if (pOpenContext->PowerState == kPowerStateD0) {
    switch (status) {
      case NDIS_STATUS_RESET_START:
        KESTOVA_ASSERT(
            !NUIO_TEST_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, RESET_FLAG_IN_PROGRESS));
        NUIO_SET_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, RESET_FLAG_IN_PROGRESS);
        break;
      case NDIS_STATUS_RESET_END:
        KESTOVA_ASSERT(
            NUIO_TEST_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, RESET_FLAG_IN_PROGRESS));
        NUIO_SET_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, 0);
        break;
      case NDIS_STATUS_MEDIA_CONNECT:
        NUIO_SET_FLAGS(pOpenContext->Flags, MEDIA_FLAG_MASK, 0);
        break;
      case NDIS_STATUS_MEDIA_DISCONNECT:
        NUIO_SET_FLAGS(pOpenContext->Flags, MEDIA_FLAG_MASK, MEDIA_DISCONNECTED);
        break;
      default:
        break;
    }
  }
  ReleaseGlobalLock();
}

VOID NTAPI StatusComplete(NDIS_HANDLE) {}

VOID NTAPI ResetComplete(NDIS_HANDLE, NDIS_STATUS) {}

// Passive level. Global events (binds complete) come with no binding context.
NDIS_STATUS NTAPI PnPEvent(NDIS_HANDLE protocol_binding_context, PNET_PNP_EVENT event) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocol_binding_context);
  switch (event->NetEvent) {
    case NetEventSetPower: {
      if (pOpenContext == NULL || event->Buffer == NULL ||
          event->BufferLength < sizeof(NET_DEVICE_POWER_STATE)) {
        return NDIS_STATUS_SUCCESS;
      }
      ULONG power_state = static_cast<ULONG>(*static_cast<PNET_DEVICE_POWER_STATE>(event->Buffer));
      AcquireGlobalLock();
      pOpenContext->PowerState = power_state;
      ReleaseGlobalLock();
      // Going to sleep: let the adapter operations in flight finish first.
      if (power_state > kPowerStateD0) WaitForPendingRequests(pOpenContext);
      return NDIS_STATUS_SUCCESS;
    }
    case NetEventQueryPower:
    case NetEventQueryRemoveDevice:
    case NetEventCancelRemoveDevice:
    case NetEventReconfigure:
    case NetEventBindList:
    case NetEventPnPCapabilities:
      return NDIS_STATUS_SUCCESS;
    case NetEventBindsComplete:
      NdisSetEvent(&g_globals.BindsComplete);
      return NDIS_STATUS_SUCCESS;
    default:
      return NDIS_STATUS_NOT_SUPPORTED;
  }
}

}  // namespace kestova
