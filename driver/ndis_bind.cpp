// NdisBind: the per-adapter open context, binding to and unbinding from an adapter, and the
// synchronous OID request used by binding and by the device-control operations.
#include "driver_globals.h"

namespace kestova {

namespace {

constexpr ULONG kEmptyStringCapacity = 64;
constexpr ULONG kPendingPollMs = 1000;
constexpr ULONG kPendingPollLimit = 60;

constexpr NDIS_OID kOidCurrentAddress = 0x01010102;
constexpr NDIS_OID kOidMacOptions = 0x00010113;
constexpr NDIS_OID kOidMaximumFrameSize = 0x00010106;
constexpr NDIS_OID kOidCurrentPacketFilter = 0x0001010E;
constexpr NDIS_OID kOidMediaConnectStatus = 0x00010114;
constexpr ULONG kPacketTypeAllLocal = 0x00000080;

// Wraps an NDIS request with the event and status its completion fills in.
struct RequestWrapper {
  NDIS_REQUEST request;
  NDIS_EVENT event;
  NDIS_STATUS status;
};

void FreeStoredString(StoredString* text) {
  if (text->buffer != NULL) NdisFreeMemory(text->buffer, text->capacity, 0);
  text->buffer = NULL;
  text->capacity = 0;
}

// Replaces `text` with a copy of `source` (byte length rounded up to the next multiple of 64).
BOOLEAN StoreString(StoredString* text, const UCHAR* source, ULONG length) {
  ULONG capacity = (length / 64 + 1) * 64;
  UCHAR* buffer = NULL;
  if (NdisAllocateMemoryWithTag(reinterpret_cast<PVOID*>(&buffer), capacity, kPoolTag) !=
      NDIS_STATUS_SUCCESS) {
    return FALSE;
  }
  NdisZeroMemory(buffer, capacity);
  if (length != 0) NdisMoveMemory(buffer, source, length);
  FreeStoredString(text);
  text->buffer = buffer;
  text->capacity = capacity;
  return TRUE;
}

BOOLEAN AllocateEmptyString(StoredString* text) {
  text->buffer = NULL;
  text->capacity = 0;
  if (NdisAllocateMemoryWithTag(reinterpret_cast<PVOID*>(&text->buffer), kEmptyStringCapacity,
                                kPoolTag) != NDIS_STATUS_SUCCESS) {
    text->buffer = NULL;
    return FALSE;
  }
  NdisZeroMemory(text->buffer, kEmptyStringCapacity);
  text->capacity = kEmptyStringCapacity;
  return TRUE;
}

// Frees the names and the context itself.
void FreeOpenContext(OpenContext* pOpenContext) {
  FreeStoredString(&pOpenContext->DeviceName);
  FreeStoredString(&pOpenContext->DeviceDescription);
  NdisFreeMemory(pOpenContext, sizeof(OpenContext), 0);
}

// A zeroed context, bind state idle, running-on-Windows-9x set, empty names of 64 bytes.
OpenContext* ConstructOpenContext() {
  OpenContext* pOpenContext = NULL;
  if (NdisAllocateMemoryWithTag(reinterpret_cast<PVOID*>(&pOpenContext), sizeof(OpenContext),
                                kPoolTag) != NDIS_STATUS_SUCCESS) {
    return NULL;
  }
  NdisZeroMemory(pOpenContext, sizeof(OpenContext));
  InitializeListHead(&pOpenContext->Link);
  InitializeNotificationEvent(&pOpenContext->BindEvent);
  pOpenContext->RunningOnWin9x = TRUE;
  if (!AllocateEmptyString(&pOpenContext->DeviceName) ||
      !AllocateEmptyString(&pOpenContext->DeviceDescription)) {
    FreeOpenContext(pOpenContext);
    return NULL;
  }
  return pOpenContext;
}

// Reads the protocol's "Environment" value: 1 on the NT family clears running-on-Windows-9x.
void ReadEnvironment(OpenContext* pOpenContext, PVOID protocolSection) {
  NDIS_STATUS status;
  NDIS_HANDLE configuration = NULL;
  NdisOpenProtocolConfiguration(&status, &configuration,
                                static_cast<PNDIS_STRING>(protocolSection));
  if (status != NDIS_STATUS_SUCCESS) return;
  NDIS_STRING keyword;
  RtlInitUnicodeString(&keyword, KESTOVA_WIDE("Environment"));
  PNDIS_CONFIGURATION_PARAMETER parameter = NULL;
  NdisReadConfiguration(&status, &parameter, configuration, &keyword, NdisParameterInteger);
  if (status == NDIS_STATUS_SUCCESS && parameter != NULL &&
      (parameter->ParameterType == NdisParameterInteger ||
       parameter->ParameterType == NdisParameterHexInteger)) {
    pOpenContext->RunningOnWin9x = parameter->ParameterData.IntegerData == 0 ? TRUE : FALSE;
  }
  NdisCloseConfiguration(configuration);
}

// The send packet pool carries no protocol identifier: NdisSetPacketPoolProtocolId is NDIS 5.1
// (Windows XP) only, and an image importing it is not loaded by Windows 2000 at all. The driver
// never sends a frame of its own, so the identifier would mark nothing.
NDIS_STATUS AllocatePools(OpenContext* pOpenContext) {
  NDIS_STATUS status;
  NdisAllocatePacketPoolEx(&status, &pOpenContext->SendPacketPool, 20, 380, 8);
  if (status != NDIS_STATUS_SUCCESS) return status;
  NdisAllocatePacketPoolEx(&status, &pOpenContext->RecvPacketPool, 4, 16, 12);
  if (status != NDIS_STATUS_SUCCESS) return status;
  NdisAllocateBufferPool(&status, &pOpenContext->RecvBufferPool, 20);
  if (status != NDIS_STATUS_SUCCESS) return status;
  if (pOpenContext->RunningOnWin9x) {
    NdisAllocateBufferPool(&status, &pOpenContext->SendBufferPool, 400);
    if (status != NDIS_STATUS_SUCCESS) return status;
  }
  return NDIS_STATUS_SUCCESS;
}

void QueryInstanceName(OpenContext* pOpenContext) {
  NDIS_STRING name;
  NdisZeroMemory(&name, sizeof(name));
  if (NdisQueryAdapterInstanceName(&name, pOpenContext->BindingHandle) != NDIS_STATUS_SUCCESS) {
    return;
  }
  if (name.Buffer != NULL) {
    StoreString(&pOpenContext->DeviceDescription, reinterpret_cast<const UCHAR*>(name.Buffer),
                name.Length);
    NdisFreeMemory(name.Buffer, name.MaximumLength, 0);
  }
}

// Steps after the open: configuration, pools, names, the adapter's address and properties, the
// packet filter, the media state, and finally the switch to active.
NDIS_STATUS CompleteBinding(OpenContext* pOpenContext, PVOID protocolSection) {
  ReadEnvironment(pOpenContext, protocolSection);
  NDIS_STATUS status = AllocatePools(pOpenContext);
  if (status != NDIS_STATUS_SUCCESS) return status;
  QueryInstanceName(pOpenContext);

  ULONG processed = 0;
  status = DoRequest(pOpenContext, NdisRequestQueryInformation, kOidCurrentAddress,
                     pOpenContext->AdapterKey, kEthernetAddressLength, &processed);
  if (status != NDIS_STATUS_SUCCESS) return status;
  ULONG value = 0;
  status = DoRequest(pOpenContext, NdisRequestQueryInformation, kOidMacOptions, &value,
                     sizeof(value), &processed);
  if (status != NDIS_STATUS_SUCCESS) return status;
  pOpenContext->MacOptions = value;
  status = DoRequest(pOpenContext, NdisRequestQueryInformation, kOidMaximumFrameSize, &value,
                     sizeof(value), &processed);
  if (status != NDIS_STATUS_SUCCESS) return status;
  pOpenContext->MaxFrameSize = value;
  value = kPacketTypeAllLocal;
  status = DoRequest(pOpenContext, NdisRequestSetInformation, kOidCurrentPacketFilter, &value,
                     sizeof(value), &processed);
  if (status != NDIS_STATUS_SUCCESS) return status;
  value = 0;
  status = DoRequest(pOpenContext, NdisRequestQueryInformation, kOidMediaConnectStatus, &value,
                     sizeof(value), &processed);
  if (status != NDIS_STATUS_SUCCESS) return status;

  pOpenContext->PowerState = kPowerStateD0;
  AcquireGlobalLock();
  SetFlags(pOpenContext->Flags, kMediaFlagMask, value == 0 ? 0 : kMediaDisconnected);
  // An unbind that arrived meanwhile wins: the binding never becomes active.
  if (TestFlags(pOpenContext->Flags, kUnbindFlagMask, kUnbindReceived)) {
    status = NDIS_STATUS_FAILURE;
  } else {
    SetFlags(pOpenContext->Flags, kBindStateMask, kBindActive);
  }
  ReleaseGlobalLock();
  return status;
}

// Takes an opened binding down: out of the list, closing, outstanding requests drained, pending
// reads cancelled, adapter closed, pools, names and context freed. Passive level.
void ShutDownBinding(OpenContext* pOpenContext) {
  AcquireGlobalLock();
  RemoveEntryList(&pOpenContext->Link);
  InitializeListHead(&pOpenContext->Link);
  SetFlags(pOpenContext->Flags, kBindStateMask, kBindClosing);
  SetFlags(pOpenContext->Flags, kUnbindFlagMask, kUnbindReceived);
  ReleaseGlobalLock();

  WaitForPendingRequests(pOpenContext);
  CancelPendingReads();

  NDIS_STATUS closeStatus;
  NdisResetEvent(&pOpenContext->BindEvent);
  NdisCloseAdapter(&closeStatus, pOpenContext->BindingHandle);
  if (closeStatus == NDIS_STATUS_PENDING) {
    NdisWaitEvent(&pOpenContext->BindEvent, 0);
    closeStatus = pOpenContext->BindStatus;
  }
  KESTOVA_ASSERT_REPORTING(closeStatus == NDIS_STATUS_SUCCESS, "Status == NDIS_STATUS_SUCCESS");
  pOpenContext->BindingHandle = NULL;

  if (pOpenContext->SendPacketPool != NULL) NdisFreePacketPool(pOpenContext->SendPacketPool);
  if (pOpenContext->RecvPacketPool != NULL) NdisFreePacketPool(pOpenContext->RecvPacketPool);
  if (pOpenContext->RecvBufferPool != NULL) NdisFreeBufferPool(pOpenContext->RecvBufferPool);
  if (pOpenContext->SendBufferPool != NULL) NdisFreeBufferPool(pOpenContext->SendBufferPool);
  FreeOpenContext(pOpenContext);
}

}  // namespace

NDIS_STATUS DoRequest(OpenContext* pOpenContext, NDIS_REQUEST_TYPE type, NDIS_OID oid, PVOID buffer,
                      ULONG length, PULONG bytesProcessed) {
  RequestWrapper wrapper;
  NdisZeroMemory(&wrapper, sizeof(wrapper));
  InitializeNotificationEvent(&wrapper.event);
  wrapper.request.RequestType = type;
  if (type == NdisRequestQueryInformation) {
    wrapper.request.DATA.QUERY_INFORMATION.Oid = oid;
    wrapper.request.DATA.QUERY_INFORMATION.InformationBuffer = buffer;
    wrapper.request.DATA.QUERY_INFORMATION.InformationBufferLength = length;
  } else if (type == NdisRequestSetInformation) {
    wrapper.request.DATA.SET_INFORMATION.Oid = oid;
    wrapper.request.DATA.SET_INFORMATION.InformationBuffer = buffer;
    wrapper.request.DATA.SET_INFORMATION.InformationBufferLength = length;
  } else {
    KESTOVA_ASSERT(FALSE);
    return NDIS_STATUS_NOT_SUPPORTED;
  }

  NDIS_STATUS status;
  NdisRequest(&status, pOpenContext->BindingHandle, &wrapper.request);
  if (status == NDIS_STATUS_PENDING) {
    NdisWaitEvent(&wrapper.event, 0);
    status = wrapper.status;
  }
  if (status == NDIS_STATUS_SUCCESS) {
    ULONG done = type == NdisRequestQueryInformation
                     ? wrapper.request.DATA.QUERY_INFORMATION.BytesWritten
                     : wrapper.request.DATA.SET_INFORMATION.BytesRead;
    *bytesProcessed = done < length ? done : length;
  }
  return status;
}

// Up to dispatch level: hands the final status of a pended request to the waiting DoRequest.
VOID NTAPI RequestComplete(NDIS_HANDLE, PNDIS_REQUEST request, NDIS_STATUS status) {
  RequestWrapper* wrapper = CONTAINING_RECORD(request, RequestWrapper, request);
  wrapper->status = status;
  NdisSetEvent(&wrapper->event);
}

// Lookup and reference in one lock section, so that an unbind cannot free the context between
// them: unbinding waits for the reference to be dropped.
OpenContext* ReferenceActiveByKey(const UCHAR key[8]) {
  OpenContext* found = NULL;
  AcquireGlobalLock();
  for (LIST_ENTRY* entry = g_globals.OpenList.Flink; entry != &g_globals.OpenList;
       entry = entry->Flink) {
    OpenContext* pOpenContext = CONTAINING_RECORD(entry, OpenContext, Link);
    if (TestFlags(pOpenContext->Flags, kBindStateMask, kBindActive) &&
        NdisEqualMemory(pOpenContext->AdapterKey, key, sizeof(pOpenContext->AdapterKey))) {
      NdisInterlockedIncrement(&pOpenContext->PendingRequests);
      found = pOpenContext;
      break;
    }
  }
  ReleaseGlobalLock();
  return found;
}

void DerefRequests(OpenContext* pOpenContext) {
  NdisInterlockedDecrement(&pOpenContext->PendingRequests);
}

void WaitForPendingRequests(OpenContext* pOpenContext) {
  ULONG loopCount = 0;
  while (InterlockedCompareExchange(&pOpenContext->PendingRequests, 0, 0) != 0 &&
         loopCount < kPendingPollLimit) {
    NdisMSleep(kPendingPollMs * 1000);
    ++loopCount;
  }
  // Given up after a minute: reported, and the caller goes on.
  if (InterlockedCompareExchange(&pOpenContext->PendingRequests, 0, 0) != 0) {
    KESTOVA_ASSERT_REPORTING(loopCount < kPendingPollLimit, "LoopCount < 60");
  }
}

// Passive level. The result reaches NDIS through *status.
VOID NTAPI BindAdapter(PNDIS_STATUS status, NDIS_HANDLE, PNDIS_STRING deviceName,
                       PVOID systemSpecific1, PVOID) {
  OpenContext* pOpenContext = ConstructOpenContext();
  if (pOpenContext == NULL) {
    *status = NDIS_STATUS_RESOURCES;
    return;
  }
  if (!StoreString(&pOpenContext->DeviceName, reinterpret_cast<const UCHAR*>(deviceName->Buffer),
                   deviceName->Length)) {
    FreeOpenContext(pOpenContext);
    *status = NDIS_STATUS_RESOURCES;
    return;
  }

  NDIS_MEDIUM media[1] = {NdisMedium802_3};
  UINT mediumIndex = 0;
  NDIS_STATUS openError = NDIS_STATUS_SUCCESS;
  NDIS_STATUS result;
  NdisResetEvent(&pOpenContext->BindEvent);
  NdisOpenAdapter(&result, &openError, &pOpenContext->BindingHandle, &mediumIndex, media, 1,
                  g_globals.ProtocolHandle, pOpenContext, deviceName, 0, NULL);
  if (result == NDIS_STATUS_PENDING) {
    NdisWaitEvent(&pOpenContext->BindEvent, 0);
    result = pOpenContext->BindStatus;
  }
  if (result != NDIS_STATUS_SUCCESS) {
    FreeOpenContext(pOpenContext);
    *status = result;
    return;
  }

  AcquireGlobalLock();
  InsertTailList(&g_globals.OpenList, &pOpenContext->Link);
  ReleaseGlobalLock();

  result = CompleteBinding(pOpenContext, systemSpecific1);
  if (result != NDIS_STATUS_SUCCESS) ShutDownBinding(pOpenContext);
  *status = result;
}

// Passive level. An unbind that arrives while the bind is still finishing only marks the context;
// the bind sees the mark, fails and takes the binding down itself.
VOID NTAPI UnbindAdapter(PNDIS_STATUS status, NDIS_HANDLE protocolBindingContext, NDIS_HANDLE) {
  *status = NDIS_STATUS_SUCCESS;
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  if (pOpenContext == NULL) return;
  AcquireGlobalLock();
  BOOLEAN active = TestFlags(pOpenContext->Flags, kBindStateMask, kBindActive);
  SetFlags(pOpenContext->Flags, kUnbindFlagMask, kUnbindReceived);
  ReleaseGlobalLock();
  if (active) ShutDownBinding(pOpenContext);
}

// Up to dispatch level: the pended open or close has finished; its waiter takes BindStatus.
VOID NTAPI OpenAdapterComplete(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status,
                               NDIS_STATUS) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  pOpenContext->BindStatus = status;
  NdisSetEvent(&pOpenContext->BindEvent);
}

VOID NTAPI CloseAdapterComplete(NDIS_HANDLE protocolBindingContext, NDIS_STATUS status) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  pOpenContext->BindStatus = status;
  NdisSetEvent(&pOpenContext->BindEvent);
}

}  // namespace kestova
