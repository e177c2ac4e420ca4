// NdisBind: the status, PnP and other small handlers NDIS calls for a binding.
#include "driver_globals.h"

namespace kestova {

// May run at dispatch level. Indications count only while the adapter is powered (D0).
VOID NTAPI StatusIndication(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status, PVOID, UINT) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  if (pOpenContext == NULL) return;
  AcquireGlobalLock();
  if (pOpenContext->PowerState == kPowerStateD0) {
    switch (status) {
      case NDIS_STATUS_RESET_START:
        KESTOVA_ASSERT_REPORTING(
            !TestFlags(pOpenContext->Flags, kResetFlagMask, kResetInProgress),
            "!NUIO_TEST_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, RESET_FLAG_IN_PROGRESS)");
        SetFlags(pOpenContext->Flags, kResetFlagMask, kResetInProgress);
        break;
      case NDIS_STATUS_RESET_END:
        KESTOVA_ASSERT_REPORTING(
            TestFlags(pOpenContext->Flags, kResetFlagMask, kResetInProgress),
            "NUIO_TEST_FLAGS(pOpenContext->Flags, RESET_FLAG_MASK, RESET_FLAG_IN_PROGRESS)");
        SetFlags(pOpenContext->Flags, kResetFlagMask, 0);
        break;
      case NDIS_STATUS_MEDIA_CONNECT:
        SetFlags(pOpenContext->Flags, kMediaFlagMask, 0);
        break;
      case NDIS_STATUS_MEDIA_DISCONNECT:
        SetFlags(pOpenContext->Flags, kMediaFlagMask, kMediaDisconnected);
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
NDIS_STATUS NTAPI PnPEvent(NDIS_HANDLE protocolBindingContext, PNET_PNP_EVENT event) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  switch (event->NetEvent) {
    case NetEventSetPower: {
      if (pOpenContext == NULL || event->Buffer == NULL ||
          event->BufferLength < sizeof(NET_DEVICE_POWER_STATE)) {
        return NDIS_STATUS_SUCCESS;
      }
      ULONG powerState = static_cast<ULONG>(*static_cast<PNET_DEVICE_POWER_STATE>(event->Buffer));
      AcquireGlobalLock();
      pOpenContext->PowerState = powerState;
      ReleaseGlobalLock();
      // Going to sleep: let the adapter operations in flight finish first.
      if (powerState > kPowerStateD0) WaitForPendingRequests(pOpenContext);
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
