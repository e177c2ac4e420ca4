// The stand-in's NDIS protocol interface: registration, configuration, and the simulated adapters
// with their opens, requests, transfers and indications.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "standin_internal.h"

using kestova::standin::AdapterConfig;
using kestova::standin::CAdapter;
using kestova::standin::internal::BufferPool;
using kestova::standin::internal::ExpectNoSpinLock;
using kestova::standin::internal::Fault;
using kestova::standin::internal::Indication;
using kestova::standin::internal::kIndicationMagic;
using kestova::standin::internal::PacketPool;
using kestova::standin::internal::TheWorld;
using kestova::standin::internal::World;

namespace kestova {
namespace standin {
namespace internal {

void AdapterCounts(long* openBindings, long* inFlight) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  for (CAdapter::State* state : world.adapters) {
    std::lock_guard<std::mutex> inner(state->mutex);
    *openBindings += state->open ? 1 : 0;
    *inFlight += state->inFlight;
  }
}

NDIS50_PROTOCOL_CHARACTERISTICS Protocol() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (!world.protocolRegistered) world.faults.push_back("NDIS used without a registered protocol");
  return world.protocol;
}

}  // namespace internal
}  // namespace standin
}  // namespace kestova

// --- Adapters -----------------------------------------------------------------------------------

namespace {

CAdapter::State* StateOf(NDIS_HANDLE bindingHandle) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  for (CAdapter::State* state : world.adapters) {
    if (state == bindingHandle) return state;
  }
  world.faults.push_back("NDIS call with an unknown binding handle");
  return nullptr;
}

// The call of the protocol's completion handler that ends a pended operation.
using Completion = std::function<void()>;

// Runs `work` (the adapter's side of a pended operation) on a new thread of the adapter, then
// delivers the completion it returns. As in NDIS, the operation stops being outstanding when its
// completion is delivered, not when the protocol's handler returns: a handler that signals a
// waiter lets the protocol go on (and close the adapter) while the handler is still running.
void Later(CAdapter::State* state, std::function<Completion()> work) {
  std::lock_guard<std::mutex> guard(state->mutex);
  ++state->inFlight;
  state->threads.emplace_back([state, work] {
    if (state->config.holdPending) {
      std::unique_lock<std::mutex> lock(state->mutex);
      state->gate.wait(lock, [state] { return state->gateOpen; });
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Completion deliver = work();
    {
      std::lock_guard<std::mutex> inner(state->mutex);
      --state->inFlight;
    }
    deliver();
  });
}

void PutWord(std::vector<uint8_t>* value, ULONG word) {
  value->assign(4, 0);
  for (int i = 0; i < 4; ++i) (*value)[i] = static_cast<uint8_t>(word >> (8 * i));
}

// Carries out a request on the adapter; fills the byte counts.
NDIS_STATUS Execute(CAdapter::State* state, PNDIS_REQUEST request) {
  const AdapterConfig& config = state->config;
  if (request->RequestType == NdisRequestSetInformation) {
    auto& set = request->DATA.SET_INFORMATION;
    const uint8_t* data = static_cast<const uint8_t*>(set.InformationBuffer);
    std::lock_guard<std::mutex> guard(state->mutex);
    if (set.Oid == 0x0001010E) {
      if (set.InformationBufferLength < 4) return NDIS_STATUS_INVALID_LENGTH;
      memcpy(&state->packetFilter, data, 4);
    }
    state->setValues[set.Oid].assign(data, data + set.InformationBufferLength);
    set.BytesRead = set.InformationBufferLength;
    return NDIS_STATUS_SUCCESS;
  }
  if (request->RequestType != NdisRequestQueryInformation) return NDIS_STATUS_NOT_SUPPORTED;
  auto& query = request->DATA.QUERY_INFORMATION;
  std::vector<uint8_t> value;
  switch (query.Oid) {
    case 0x01010102:  // current address
      if (config.failAddressQuery) return NDIS_STATUS_NOT_SUPPORTED;
      value.assign(config.address, config.address + 6);
      break;
    case 0x00010113:  // MAC options
      PutWord(&value, 0x0000000F);
      break;
    case 0x00010106:  // maximum frame size
      PutWord(&value, 1500);
      break;
    case 0x00010114:  // media connect status
      PutWord(&value, config.mediaConnectStatus);
      break;
    default: {
      std::lock_guard<std::mutex> guard(state->mutex);
      auto it = state->queryValues.find(query.Oid);
      if (it == state->queryValues.end()) return NDIS_STATUS_NOT_SUPPORTED;
      value = it->second;
    }
  }
  if (query.InformationBufferLength < value.size()) {
    query.BytesNeeded = static_cast<UINT>(value.size());
    return NDIS_STATUS_BUFFER_TOO_SHORT;
  }
  memcpy(query.InformationBuffer, value.data(), value.size());
  query.BytesWritten = static_cast<UINT>(value.size());
  return NDIS_STATUS_SUCCESS;
}

// Copies frame bytes [header + offset, + bytes) into the packet's buffer chain.
UINT CopyIntoPacket(const std::vector<uint8_t>& frame, UINT headerSize, UINT offset, UINT bytes,
                    PNDIS_PACKET packet) {
  size_t position = headerSize + offset;
  UINT copied = 0;
  for (PNDIS_BUFFER buffer = packet->Private.Head; buffer != nullptr && bytes != 0;
       buffer = buffer->Next) {
    UINT chunk = std::min<UINT>(bytes, buffer->ByteCount);
    if (position + chunk > frame.size()) chunk = static_cast<UINT>(frame.size() - position);
    memcpy(buffer->MappedSystemVa, frame.data() + position, chunk);
    position += chunk;
    copied += chunk;
    bytes -= chunk;
  }
  return copied;
}

}  // namespace

// --- Protocol registration and configuration -----------------------------------------------------

void NdisRegisterProtocol(PNDIS_STATUS status, PNDIS_HANDLE protocolHandle,
                          PNDIS_PROTOCOL_CHARACTERISTICS characteristics, UINT length) {
  ExpectNoSpinLock("NdisRegisterProtocol");
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.failRegister != NDIS_STATUS_SUCCESS) {
    *status = world.failRegister;
    return;
  }
  if (length != sizeof(NDIS50_PROTOCOL_CHARACTERISTICS) ||
      characteristics->Ndis40Chars.MajorNdisVersion != 5) {
    *status = NDIS_STATUS_FAILURE;  // NDIS_STATUS_BAD_CHARACTERISTICS on a real system
    return;
  }
  world.protocol = *characteristics;
  world.protocolRegistered = true;
  *protocolHandle = &world.protocol;
  *status = NDIS_STATUS_SUCCESS;
}

// As NDIS does, unbinds every open binding of the protocol before it is gone.
void NdisDeregisterProtocol(PNDIS_STATUS status, NDIS_HANDLE protocolHandle) {
  ExpectNoSpinLock("NdisDeregisterProtocol");
  World& world = TheWorld();
  std::vector<std::pair<CAdapter::State*, NDIS_HANDLE>> open;
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    if (!world.protocolRegistered || protocolHandle != &world.protocol) {
      world.faults.push_back("NdisDeregisterProtocol of a protocol that is not registered");
      *status = NDIS_STATUS_FAILURE;
      return;
    }
    for (CAdapter::State* state : world.adapters) {
      std::lock_guard<std::mutex> inner(state->mutex);
      if (state->open) open.emplace_back(state, state->bindingContext);
    }
  }
  UNBIND_HANDLER unbind = world.protocol.Ndis40Chars.UnbindAdapterHandler;
  for (auto& binding : open) {
    NDIS_STATUS unbindStatus;
    unbind(&unbindStatus, binding.second, nullptr);
    std::lock_guard<std::mutex> guard(binding.first->mutex);
    if (binding.first->open) Fault("an adapter was still open after its unbind");
  }
  std::lock_guard<std::mutex> guard(world.mutex);
  world.protocolRegistered = false;
  world.protocol = NDIS50_PROTOCOL_CHARACTERISTICS{};
  *status = NDIS_STATUS_SUCCESS;
}

namespace {
struct Configuration {
  NDIS_CONFIGURATION_PARAMETER parameter;
};
}  // namespace

void NdisOpenProtocolConfiguration(PNDIS_STATUS status, PNDIS_HANDLE configuration,
                                   PNDIS_STRING protocolSection) {
  if (protocolSection == nullptr || protocolSection->Buffer == nullptr) {
    Fault("NdisOpenProtocolConfiguration without the protocol section from the bind handler");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  *configuration = new Configuration();
  ++world.configurations;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisReadConfiguration(PNDIS_STATUS status, PNDIS_CONFIGURATION_PARAMETER* parameter,
                           NDIS_HANDLE configuration, PNDIS_STRING keyword, NDIS_PARAMETER_TYPE) {
  Configuration* config = static_cast<Configuration*>(configuration);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (kestova::standin::internal::ToString(keyword) != u"Environment" ||
      !world.environmentPresent) {
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  config->parameter.ParameterType = NdisParameterInteger;
  config->parameter.ParameterData.IntegerData = world.environmentValue;
  *parameter = &config->parameter;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisCloseConfiguration(NDIS_HANDLE configuration) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  delete static_cast<Configuration*>(configuration);
  --world.configurations;
}

// --- Opens, requests, transfers -----------------------------------------------------------------

void NdisOpenAdapter(PNDIS_STATUS status, PNDIS_STATUS openErrorStatus, PNDIS_HANDLE bindingHandle,
                     PUINT selectedMediumIndex, PNDIS_MEDIUM mediumArray, UINT mediumArraySize,
                     NDIS_HANDLE, NDIS_HANDLE protocolBindingContext, PNDIS_STRING adapterName,
                     UINT, PVOID) {
  ExpectNoSpinLock("NdisOpenAdapter");
  *openErrorStatus = NDIS_STATUS_SUCCESS;
  std::u16string name = kestova::standin::internal::ToString(adapterName);
  CAdapter::State* found = nullptr;
  {
    World& world = TheWorld();
    std::lock_guard<std::mutex> guard(world.mutex);
    for (CAdapter::State* state : world.adapters) {
      if (state->config.deviceName == name) found = state;
    }
  }
  if (found == nullptr) {
    *status = NDIS_STATUS_ADAPTER_NOT_FOUND;
    return;
  }
  UINT index = mediumArraySize;
  for (UINT i = 0; i < mediumArraySize; ++i) {
    if (mediumArray[i] == found->config.medium) index = i;
  }
  if (index == mediumArraySize) {
    *status = NDIS_STATUS_UNSUPPORTED_MEDIA;
    return;
  }
  {
    std::lock_guard<std::mutex> guard(found->mutex);
    if (found->open) {
      Fault("an adapter opened twice");
      *status = NDIS_STATUS_FAILURE;
      return;
    }
    found->open = true;
    found->bindingContext = protocolBindingContext;
  }
  *selectedMediumIndex = index;
  *bindingHandle = found;
  if (!found->config.pendOpen) {
    *status = NDIS_STATUS_SUCCESS;
    return;
  }
  OPEN_ADAPTER_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.OpenAdapterCompleteHandler;
  Later(found, [complete, protocolBindingContext]() -> Completion {
    return [complete, protocolBindingContext] {
      complete(protocolBindingContext, NDIS_STATUS_SUCCESS, NDIS_STATUS_SUCCESS);
    };
  });
  *status = NDIS_STATUS_PENDING;
}

void NdisCloseAdapter(PNDIS_STATUS status, NDIS_HANDLE bindingHandle) {
  ExpectNoSpinLock("NdisCloseAdapter");
  CAdapter::State* state = StateOf(bindingHandle);
  if (state == nullptr) {
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  NDIS_HANDLE context;
  {
    std::lock_guard<std::mutex> guard(state->mutex);
    if (!state->open) {
      Fault("NdisCloseAdapter of an adapter that is not open");
      *status = NDIS_STATUS_FAILURE;
      return;
    }
    if (state->inFlight != 0) Fault("adapter closed with requests or transfers outstanding");
    if (!state->heldPackets.empty()) Fault("adapter closed while indicated packets are held");
    state->open = false;
    context = state->bindingContext;
    state->bindingContext = nullptr;
  }
  const NDIS_STATUS result = state->config.closeStatus;
  if (!state->config.pendClose) {
    *status = result;
    return;
  }
  CLOSE_ADAPTER_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.CloseAdapterCompleteHandler;
  Later(state, [complete, context, result]() -> Completion {
    return [complete, context, result] { complete(context, result); };
  });
  *status = NDIS_STATUS_PENDING;
}

void NdisRequest(PNDIS_STATUS status, NDIS_HANDLE bindingHandle, PNDIS_REQUEST request) {
  ExpectNoSpinLock("NdisRequest");
  CAdapter::State* state = StateOf(bindingHandle);
  if (state == nullptr) {
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  NDIS_HANDLE context;
  {
    std::lock_guard<std::mutex> guard(state->mutex);
    if (!state->open) {
      Fault("NdisRequest on an adapter that is not open");
      *status = NDIS_STATUS_CLOSING;
      return;
    }
    context = state->bindingContext;
  }
  if (request->RequestType == NdisRequestQueryInformation &&
      request->DATA.QUERY_INFORMATION.Oid == 0x00010114 && state->config.onMediaQuery) {
    state->config.onMediaQuery();
  }
  if (!state->config.pendRequests) {
    *status = Execute(state, request);
    return;
  }
  REQUEST_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.RequestCompleteHandler;
  Later(state, [state, request, complete, context]() -> Completion {
    NDIS_STATUS result = Execute(state, request);
    return [request, complete, context, result] { complete(context, request, result); };
  });
  *status = NDIS_STATUS_PENDING;
}

void NdisTransferData(PNDIS_STATUS status, NDIS_HANDLE bindingHandle, NDIS_HANDLE macReceiveContext,
                      UINT byteOffset, UINT bytesToTransfer, PNDIS_PACKET packet,
                      PUINT bytesTransferred) {
  CAdapter::State* state = StateOf(bindingHandle);
  const Indication* indication = static_cast<const Indication*>(macReceiveContext);
  if (state == nullptr || indication == nullptr || indication->magic != kIndicationMagic) {
    Fault("NdisTransferData outside a receive indication");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  UINT shortfall = state->config.transferShortfall;
  bytesToTransfer = bytesToTransfer > shortfall ? bytesToTransfer - shortfall : 0;
  if (!state->config.pendTransfers) {
    *bytesTransferred = CopyIntoPacket(*indication->frame, indication->headerSize, byteOffset,
                                       bytesToTransfer, packet);
    *status = NDIS_STATUS_SUCCESS;
    return;
  }
  NDIS_HANDLE context;
  {
    std::lock_guard<std::mutex> guard(state->mutex);
    context = state->bindingContext;
  }
  TRANSFER_DATA_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.TransferDataCompleteHandler;
  std::vector<uint8_t> frame = *indication->frame;
  UINT headerSize = indication->headerSize;
  Later(
      state,
      [frame, headerSize, byteOffset, bytesToTransfer, packet, complete, context]() -> Completion {
        UINT copied = CopyIntoPacket(frame, headerSize, byteOffset, bytesToTransfer, packet);
        return [packet, complete, context, copied] {
          complete(context, packet, NDIS_STATUS_SUCCESS, copied);
        };
      });
  *status = NDIS_STATUS_PENDING;
}

NDIS_STATUS NdisQueryAdapterInstanceName(PNDIS_STRING name, NDIS_HANDLE bindingHandle) {
  CAdapter::State* state = StateOf(bindingHandle);
  if (state == nullptr || !state->config.hasInstanceName) return NDIS_STATUS_FAILURE;
  const std::u16string& text = state->config.instanceName;
  UINT bytes = static_cast<UINT>(text.size() * sizeof(WCHAR));
  PVOID block = nullptr;
  if (NdisAllocateMemoryWithTag(&block, bytes + sizeof(WCHAR), 0x53444E4E) != NDIS_STATUS_SUCCESS) {
    return NDIS_STATUS_RESOURCES;
  }
  memcpy(block, text.data(), bytes);
  static_cast<WCHAR*>(block)[text.size()] = 0;
  name->Buffer = static_cast<PWSTR>(block);
  name->Length = static_cast<USHORT>(bytes);
  name->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
  return NDIS_STATUS_SUCCESS;
}

void NdisReturnPackets(PNDIS_PACKET* packets, UINT count) {
  World& world = TheWorld();
  for (UINT i = 0; i < count; ++i) {
    CAdapter::State* holder = nullptr;
    {
      std::lock_guard<std::mutex> guard(world.mutex);
      for (CAdapter::State* state : world.adapters) {
        std::lock_guard<std::mutex> inner(state->mutex);
        if (state->heldPackets.count(packets[i]) != 0) holder = state;
      }
    }
    if (holder == nullptr) {
      Fault("NdisReturnPackets of a packet the protocol does not hold");
      continue;
    }
    bool release = false;
    {
      std::lock_guard<std::mutex> guard(holder->mutex);
      release = --holder->heldPackets[packets[i]] == 0;
      if (release) holder->heldPackets.erase(packets[i]);
    }
    if (release) kestova::standin::internal::FreeNdisPacketAndBuffers(packets[i]);
  }
}
