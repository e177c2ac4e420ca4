// The one header through which the driver sources reach the kernel and NDIS. A driver build
// includes the mingw-w64 DDK headers (<ddk/wdm.h>, <ddk/ndis.h>); the test build
// (KESTOVA_HOST_STANDIN) includes the user-mode stand-in of driver/host/, which provides the same
// names. Driver code includes nothing else from outside driver/.
#ifndef KESTOVA_DRIVER_KERNEL_API_H_
#define KESTOVA_DRIVER_KERNEL_API_H_

#if defined(KESTOVA_HOST_STANDIN)

#include "host/kernel_standin.h"
// Wide literals: the stand-in uses char16_t for WCHAR, so that names are UTF-16 as in the kernel.
#define KESTOVA_WIDE(text) u##text

inline void InitializeNotificationEvent(PNDIS_EVENT event) { NdisInitializeEvent(event); }

#else  // the real kernel

#define NDIS50 1
#define NDIS_LEGACY_PROTOCOL 1

// <ddk/wdm.h> defines InterlockedBitTestAndSet/Reset inline in C++, clashing with <intrin.h>; the
// DDK's copies are renamed out of the way.
#include <intrin.h>
#define InterlockedBitTestAndSet KestovaWdmBitTestAndSet
#define InterlockedBitTestAndReset KestovaWdmBitTestAndReset
#include <ddk/wdm.h>
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

// <ntddndis.h> and <ddk/ndis.h> both define NDIS_REQUEST_TYPE with its enumerators. The user-mode
// copy is included first under other names; its include guard keeps it from coming back, so
// <ddk/ndis.h> supplies the names the driver uses.
#define _NDIS_REQUEST_TYPE KestovaUserNdisRequestTypeTag
#define NDIS_REQUEST_TYPE KestovaUserNdisRequestType
#define PNDIS_REQUEST_TYPE KestovaUserNdisRequestTypePointer
#define NdisRequestQueryInformation KestovaUserNdisRequest0
#define NdisRequestSetInformation KestovaUserNdisRequest1
#define NdisRequestQueryStatistics KestovaUserNdisRequest2
#define NdisRequestOpen KestovaUserNdisRequest3
#define NdisRequestClose KestovaUserNdisRequest4
#define NdisRequestSend KestovaUserNdisRequest5
#define NdisRequestTransferData KestovaUserNdisRequest6
#define NdisRequestReset KestovaUserNdisRequest7
#define NdisRequestGeneric1 KestovaUserNdisRequest8
#define NdisRequestGeneric2 KestovaUserNdisRequest9
#define NdisRequestGeneric3 KestovaUserNdisRequest10
#define NdisRequestGeneric4 KestovaUserNdisRequest11
#include <ntddndis.h>
#undef _NDIS_REQUEST_TYPE
#undef NDIS_REQUEST_TYPE
#undef PNDIS_REQUEST_TYPE
#undef NdisRequestQueryInformation
#undef NdisRequestSetInformation
#undef NdisRequestQueryStatistics
#undef NdisRequestOpen
#undef NdisRequestClose
#undef NdisRequestSend
#undef NdisRequestTransferData
#undef NdisRequestReset
#undef NdisRequestGeneric1
#undef NdisRequestGeneric2
#undef NdisRequestGeneric3
#undef NdisRequestGeneric4
// Defined identically by both headers.
#undef NDIS_PROTOCOL_ID_MAX
#undef NDIS_PROTOCOL_ID_MASK

// A configure-time copy with one missing comma mended (see driver/CMakeLists.txt).
#include <ddk/ndis.h>

#define KESTOVA_WIDE(text) L##text

// What NdisInitializeEvent does (an NDIS event is a kernel notification event), without the
// NDIS export: Wine's NDIS lacks it, and the entry point must reach protocol registration there.
inline void InitializeNotificationEvent(PNDIS_EVENT event) {
  KeInitializeEvent(&event->Event, NotificationEvent, FALSE);
}

// Newer DDKs have this; it reads the head of the packet's buffer chain.
#ifndef NdisQueryPacketFirstBuffer
#define NdisQueryPacketFirstBuffer(_Packet, _FirstBuffer) \
  (*(_FirstBuffer) = (_Packet)->Private.Head)
#endif

#endif  // KESTOVA_HOST_STANDIN

#endif  // KESTOVA_DRIVER_KERNEL_API_H_
