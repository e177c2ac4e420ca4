// The stand-in's NDIS: packet and buffer pools, protocol registration, configuration, and the
// simulated adapters with their opens, requests, transfers and indications.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "standin_internal.h"

using kestova::standin::Adapter;
using kestova::standin::AdapterConfig;
using kestova::standin::internal::BufferPool;
using kestova::standin::internal::ExpectNoSpinLock;
using kestova::standin::internal::Fault;
using kestova::standin::internal::PacketPool;
using kestova::standin::internal::TheWorld;
using kestova::standin::internal::World;

// --- Pools, packets, buffers --------------------------------------------------------------------

namespace {

PNDIS_PACKET NewPacket(PacketPool* pool) {
  size_t size = sizeof(NDIS_PACKET) + pool->reserved;
  PNDIS_PACKET packet = static_cast<PNDIS_PACKET>(malloc(size));
  memset(packet, 0, sizeof(NDIS_PACKET));
  memset(packet->ProtocolReserved, 0xCD, pool->reserved);
  packet->Private.Pool = pool;
  packet->standin_reserved_length = pool->reserved;
  packet->standin_status = NDIS_STATUS_SUCCESS;
  return packet;
}

}  // namespace

void NdisAllocatePacketPoolEx(PNDIS_STATUS status, PNDIS_HANDLE pool, UINT descriptors,
                              UINT overflow_descriptors, UINT protocol_reserved_length) {
  PacketPool* created =
      new PacketPool{descriptors + overflow_descriptors, protocol_reserved_length, 0, true};
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.packet_pools.insert(created);
  *pool = created;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisSetPacketPoolProtocolId(NDIS_HANDLE pool, UINT) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packet_pools.count(static_cast<PacketPool*>(pool)) == 0) {
    world.faults.push_back("NdisSetPacketPoolProtocolId on an unknown pool");
  }
}

void NdisFreePacketPool(NDIS_HANDLE pool) {
  PacketPool* packet_pool = static_cast<PacketPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packet_pools.erase(packet_pool) == 0) {
    world.faults.push_back("NdisFreePacketPool of an unknown pool");
    return;
  }
  if (packet_pool->outstanding != 0) {
    world.faults.push_back("NdisFreePacketPool with packets still allocated");
  }
  delete packet_pool;
}

void NdisAllocatePacket(PNDIS_STATUS status, PNDIS_PACKET* packet, NDIS_HANDLE pool) {
  PacketPool* packet_pool = static_cast<PacketPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packet_pools.count(packet_pool) == 0) {
    world.faults.push_back("NdisAllocatePacket from an unknown pool");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  if (packet_pool->outstanding >= packet_pool->limit) {
    *status = NDIS_STATUS_RESOURCES;
    *packet = nullptr;
    return;
  }
  *packet = NewPacket(packet_pool);
  ++packet_pool->outstanding;
  world.packets.insert(*packet);
  if (packet_pool->driver) ++world.driver_packets;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisFreePacket(PNDIS_PACKET packet) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packets.erase(packet) == 0) {
    world.faults.push_back("NdisFreePacket of a packet that is not allocated");
    return;
  }
  PacketPool* pool = static_cast<PacketPool*>(packet->Private.Pool);
  --pool->outstanding;
  if (pool->driver) --world.driver_packets;
  free(packet);
}

void NdisAllocateBufferPool(PNDIS_STATUS status, PNDIS_HANDLE pool, UINT) {
  BufferPool* created = new BufferPool{0, true};
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.buffer_pools.insert(created);
  *pool = created;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisFreeBufferPool(NDIS_HANDLE pool) {
  BufferPool* buffer_pool = static_cast<BufferPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.buffer_pools.erase(buffer_pool) == 0) {
    world.faults.push_back("NdisFreeBufferPool of an unknown pool");
    return;
  }
  if (buffer_pool->outstanding != 0) {
    world.faults.push_back("NdisFreeBufferPool with buffers still allocated");
  }
  delete buffer_pool;
}

// On the NT family a buffer pool does not limit its descriptors.
void NdisAllocateBuffer(PNDIS_STATUS status, PNDIS_BUFFER* buffer, NDIS_HANDLE pool, PVOID address,
                        UINT length) {
  BufferPool* buffer_pool = static_cast<BufferPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.buffer_pools.count(buffer_pool) == 0) {
    world.faults.push_back("NdisAllocateBuffer from an unknown pool");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  PNDIS_BUFFER created = new MDL();
  created->MappedSystemVa = address;
  created->ByteCount = length;
  created->standin_described = length;
  created->standin_pool = buffer_pool;
  ++buffer_pool->outstanding;
  world.buffers.insert(created);
  if (buffer_pool->driver) ++world.driver_buffers;
  *buffer = created;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisFreeBuffer(PNDIS_BUFFER buffer) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.buffers.erase(buffer) == 0) {
    world.faults.push_back("NdisFreeBuffer of a buffer that is not allocated");
    return;
  }
  BufferPool* pool = static_cast<BufferPool*>(buffer->standin_pool);
  --pool->outstanding;
  if (pool->driver) --world.driver_buffers;
  delete buffer;
}

void NdisChainBufferAtFront(PNDIS_PACKET packet, PNDIS_BUFFER buffer) {
  if (buffer->Next != nullptr) Fault("a chained buffer chained again");
  buffer->Next = packet->Private.Head;
  packet->Private.Head = buffer;
  if (packet->Private.Tail == nullptr) packet->Private.Tail = buffer;
}

void NdisUnchainBufferAtFront(PNDIS_PACKET packet, PNDIS_BUFFER* buffer) {
  *buffer = packet->Private.Head;
  if (*buffer == nullptr) return;
  packet->Private.Head = (*buffer)->Next;
  if (packet->Private.Head == nullptr) packet->Private.Tail = nullptr;
  (*buffer)->Next = nullptr;
}

void NdisQueryPacketFirstBuffer(PNDIS_PACKET packet, PNDIS_BUFFER* buffer) {
  *buffer = packet->Private.Head;
}

void NdisQueryBufferSafe(PNDIS_BUFFER buffer, PVOID* address, PUINT length, MM_PAGE_PRIORITY) {
  if (address != nullptr) *address = buffer->standin_unmappable ? nullptr : buffer->MappedSystemVa;
  *length = buffer->ByteCount;
}

void NdisGetNextBuffer(PNDIS_BUFFER buffer, PNDIS_BUFFER* next) { *next = buffer->Next; }

void NdisAdjustBufferLength(PNDIS_BUFFER buffer, UINT length) {
  if (length > buffer->standin_described) {
    Fault("NdisAdjustBufferLength beyond the memory the buffer describes");
    return;
  }
  buffer->ByteCount = length;
}

void NdisRecalculatePacketCounts(PNDIS_PACKET packet) {
  PNDIS_BUFFER tail = packet->Private.Head;
  while (tail != nullptr && tail->Next != nullptr) tail = tail->Next;
  packet->Private.Tail = tail;
}

void NdisCopyFromPacketToPacket(PNDIS_PACKET destination, UINT destination_offset, UINT bytes,
                                PNDIS_PACKET source, UINT source_offset, PUINT bytes_copied) {
  *bytes_copied = 0;
  PNDIS_BUFFER to = destination->Private.Head;
  PNDIS_BUFFER from = source->Private.Head;
  UINT to_offset = destination_offset;
  UINT from_offset = source_offset;
  while (to != nullptr && to_offset >= to->ByteCount) {
    to_offset -= to->ByteCount;
    to = to->Next;
  }
  while (from != nullptr && from_offset >= from->ByteCount) {
    from_offset -= from->ByteCount;
    from = from->Next;
  }
  while (bytes != 0 && to != nullptr && from != nullptr) {
    UINT chunk = std::min({bytes, to->ByteCount - to_offset, from->ByteCount - from_offset});
    memcpy(static_cast<char*>(to->MappedSystemVa) + to_offset,
           static_cast<const char*>(from->MappedSystemVa) + from_offset, chunk);
    *bytes_copied += chunk;
    bytes -= chunk;
    to_offset += chunk;
    from_offset += chunk;
    if (to_offset == to->ByteCount) {
      to = to->Next;
      to_offset = 0;
    }
    if (from_offset == from->ByteCount) {
      from = from->Next;
      from_offset = 0;
    }
  }
}

// --- Adapters -----------------------------------------------------------------------------------

struct Adapter::State {
  AdapterConfig config;
  mutable std::mutex mutex;  // the fields below
  bool open = false;
  NDIS_HANDLE binding_context = nullptr;
  ULONG packet_filter = 0;
  std::map<NDIS_OID, std::vector<uint8_t>> set_values;
  std::map<NDIS_OID, std::vector<uint8_t>> query_values;
  std::map<PNDIS_PACKET, int> held_packets;  // indicated packets the protocol kept
  int in_flight = 0;                         // pended requests and transfers
  std::vector<std::thread> threads;
  bool gate_open = false;  // lets held operations complete
  std::condition_variable gate;
  std::u16string protocol_section = u"KESTOVA";
  UNICODE_STRING name{};
  UNICODE_STRING section{};
};

namespace kestova {
namespace standin {
namespace internal {

namespace {

PacketPool* NdisOwnPool() {
  static PacketPool* pool = new PacketPool{1u << 30, 16, 0, false};
  return pool;
}

BufferPool* NdisOwnBufferPool() {
  static BufferPool* pool = new BufferPool{0, false};
  return pool;
}

}  // namespace

PNDIS_PACKET AllocateNdisPacket() {
  PNDIS_PACKET packet = NewPacket(NdisOwnPool());
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.packets.insert(packet);
  return packet;
}

PNDIS_BUFFER AllocateNdisBuffer(PVOID address, UINT length) {
  PNDIS_BUFFER buffer = new MDL();
  buffer->MappedSystemVa = address;
  buffer->ByteCount = length;
  buffer->standin_described = length;
  buffer->standin_pool = NdisOwnBufferPool();
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.buffers.insert(buffer);
  return buffer;
}

// Frees an indicated packet, its buffers and the memory they describe.
void FreeNdisPacketAndBuffers(PNDIS_PACKET packet) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  PNDIS_BUFFER buffer = packet->Private.Head;
  while (buffer != nullptr) {
    PNDIS_BUFFER next = buffer->Next;
    world.buffers.erase(buffer);
    free(buffer->MappedSystemVa);
    delete buffer;
    buffer = next;
  }
  world.packets.erase(packet);
  free(packet);
}

void AdapterCounts(long* open_bindings, long* in_flight) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  for (Adapter::State* state : world.adapters) {
    std::lock_guard<std::mutex> inner(state->mutex);
    *open_bindings += state->open ? 1 : 0;
    *in_flight += state->in_flight;
  }
}

NDIS50_PROTOCOL_CHARACTERISTICS Protocol() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (!world.protocol_registered) world.faults.push_back("NDIS used without a registered protocol");
  return world.protocol;
}

}  // namespace internal
}  // namespace standin
}  // namespace kestova

// --- Adapters -----------------------------------------------------------------------------------

namespace {

constexpr uint32_t kIndicationMagic = 0x1D1CA7E5;

// What a receive indication passes as MAC receive context.
struct Indication {
  uint32_t magic;
  const std::vector<uint8_t>* frame;
  UINT header_size;
};

Adapter::State* StateOf(NDIS_HANDLE binding_handle) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  for (Adapter::State* state : world.adapters) {
    if (state == binding_handle) return state;
  }
  world.faults.push_back("NDIS call with an unknown binding handle");
  return nullptr;
}

// Runs `work` on a new thread of the adapter (a completion that arrives later).
void Later(Adapter::State* state, std::function<void()> work) {
  std::lock_guard<std::mutex> guard(state->mutex);
  ++state->in_flight;
  state->threads.emplace_back([state, work] {
    if (state->config.hold_pending) {
      std::unique_lock<std::mutex> lock(state->mutex);
      state->gate.wait(lock, [state] { return state->gate_open; });
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    work();
    std::lock_guard<std::mutex> inner(state->mutex);
    --state->in_flight;
  });
}

void PutWord(std::vector<uint8_t>* value, ULONG word) {
  value->assign(4, 0);
  for (int i = 0; i < 4; ++i) (*value)[i] = static_cast<uint8_t>(word >> (8 * i));
}

// Carries out a request on the adapter; fills the byte counts.
NDIS_STATUS Execute(Adapter::State* state, PNDIS_REQUEST request) {
  const AdapterConfig& config = state->config;
  if (request->RequestType == NdisRequestSetInformation) {
    auto& set = request->DATA.SET_INFORMATION;
    const uint8_t* data = static_cast<const uint8_t*>(set.InformationBuffer);
    std::lock_guard<std::mutex> guard(state->mutex);
    if (set.Oid == 0x0001010E) {
      if (set.InformationBufferLength < 4) return NDIS_STATUS_INVALID_LENGTH;
      memcpy(&state->packet_filter, data, 4);
    }
    state->set_values[set.Oid].assign(data, data + set.InformationBufferLength);
    set.BytesRead = set.InformationBufferLength;
    return NDIS_STATUS_SUCCESS;
  }
  if (request->RequestType != NdisRequestQueryInformation) return NDIS_STATUS_NOT_SUPPORTED;
  auto& query = request->DATA.QUERY_INFORMATION;
  std::vector<uint8_t> value;
  switch (query.Oid) {
    case 0x01010102:  // current address
      if (config.fail_address_query) return NDIS_STATUS_NOT_SUPPORTED;
      value.assign(config.address, config.address + 6);
      break;
    case 0x00010113:  // MAC options
      PutWord(&value, 0x0000000F);
      break;
    case 0x00010106:  // maximum frame size
      PutWord(&value, 1500);
      break;
    case 0x00010114:  // media connect status
      PutWord(&value, config.media_connect_status);
      break;
    default: {
      std::lock_guard<std::mutex> guard(state->mutex);
      auto it = state->query_values.find(query.Oid);
      if (it == state->query_values.end()) return NDIS_STATUS_NOT_SUPPORTED;
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
UINT CopyIntoPacket(const std::vector<uint8_t>& frame, UINT header_size, UINT offset, UINT bytes,
                    PNDIS_PACKET packet) {
  size_t position = header_size + offset;
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

void NdisRegisterProtocol(PNDIS_STATUS status, PNDIS_HANDLE protocol_handle,
                          PNDIS_PROTOCOL_CHARACTERISTICS characteristics, UINT length) {
  ExpectNoSpinLock("NdisRegisterProtocol");
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.fail_register != NDIS_STATUS_SUCCESS) {
    *status = world.fail_register;
    return;
  }
  if (length != sizeof(NDIS50_PROTOCOL_CHARACTERISTICS) ||
      characteristics->Ndis40Chars.MajorNdisVersion != 5) {
    *status = NDIS_STATUS_FAILURE;  // NDIS_STATUS_BAD_CHARACTERISTICS on a real system
    return;
  }
  world.protocol = *characteristics;
  world.protocol_registered = true;
  *protocol_handle = &world.protocol;
  *status = NDIS_STATUS_SUCCESS;
}

// As NDIS does, unbinds every open binding of the protocol before it is gone.
void NdisDeregisterProtocol(PNDIS_STATUS status, NDIS_HANDLE protocol_handle) {
  ExpectNoSpinLock("NdisDeregisterProtocol");
  World& world = TheWorld();
  std::vector<std::pair<Adapter::State*, NDIS_HANDLE>> open;
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    if (!world.protocol_registered || protocol_handle != &world.protocol) {
      world.faults.push_back("NdisDeregisterProtocol of a protocol that is not registered");
      *status = NDIS_STATUS_FAILURE;
      return;
    }
    for (Adapter::State* state : world.adapters) {
      std::lock_guard<std::mutex> inner(state->mutex);
      if (state->open) open.emplace_back(state, state->binding_context);
    }
  }
  UNBIND_HANDLER unbind = world.protocol.Ndis40Chars.UnbindAdapterHandler;
  for (auto& binding : open) {
    NDIS_STATUS unbind_status;
    unbind(&unbind_status, binding.second, nullptr);
    std::lock_guard<std::mutex> guard(binding.first->mutex);
    if (binding.first->open) Fault("an adapter was still open after its unbind");
  }
  std::lock_guard<std::mutex> guard(world.mutex);
  world.protocol_registered = false;
  world.protocol = NDIS50_PROTOCOL_CHARACTERISTICS{};
  *status = NDIS_STATUS_SUCCESS;
}

namespace {
struct Configuration {
  NDIS_CONFIGURATION_PARAMETER parameter;
};
}  // namespace

void NdisOpenProtocolConfiguration(PNDIS_STATUS status, PNDIS_HANDLE configuration,
                                   PNDIS_STRING protocol_section) {
  if (protocol_section == nullptr || protocol_section->Buffer == nullptr) {
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
      !world.environment_present) {
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  config->parameter.ParameterType = NdisParameterInteger;
  config->parameter.ParameterData.IntegerData = world.environment_value;
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

void NdisOpenAdapter(PNDIS_STATUS status, PNDIS_STATUS open_error_status,
                     PNDIS_HANDLE binding_handle, PUINT selected_medium_index,
                     PNDIS_MEDIUM medium_array, UINT medium_array_size, NDIS_HANDLE,
                     NDIS_HANDLE protocol_binding_context, PNDIS_STRING adapter_name, UINT, PVOID) {
  ExpectNoSpinLock("NdisOpenAdapter");
  *open_error_status = NDIS_STATUS_SUCCESS;
  std::u16string name = kestova::standin::internal::ToString(adapter_name);
  Adapter::State* found = nullptr;
  {
    World& world = TheWorld();
    std::lock_guard<std::mutex> guard(world.mutex);
    for (Adapter::State* state : world.adapters) {
      if (state->config.device_name == name) found = state;
    }
  }
  if (found == nullptr) {
    *status = NDIS_STATUS_ADAPTER_NOT_FOUND;
    return;
  }
  UINT index = medium_array_size;
  for (UINT i = 0; i < medium_array_size; ++i) {
    if (medium_array[i] == found->config.medium) index = i;
  }
  if (index == medium_array_size) {
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
    found->binding_context = protocol_binding_context;
  }
  *selected_medium_index = index;
  *binding_handle = found;
  if (!found->config.pend_open) {
    *status = NDIS_STATUS_SUCCESS;
    return;
  }
  OPEN_ADAPTER_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.OpenAdapterCompleteHandler;
  Later(found, [complete, protocol_binding_context] {
    complete(protocol_binding_context, NDIS_STATUS_SUCCESS, NDIS_STATUS_SUCCESS);
  });
  *status = NDIS_STATUS_PENDING;
}

void NdisCloseAdapter(PNDIS_STATUS status, NDIS_HANDLE binding_handle) {
  ExpectNoSpinLock("NdisCloseAdapter");
  Adapter::State* state = StateOf(binding_handle);
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
    if (state->in_flight != 0) Fault("adapter closed with requests or transfers outstanding");
    if (!state->held_packets.empty()) Fault("adapter closed while indicated packets are held");
    state->open = false;
    context = state->binding_context;
    state->binding_context = nullptr;
  }
  if (!state->config.pend_close) {
    *status = NDIS_STATUS_SUCCESS;
    return;
  }
  CLOSE_ADAPTER_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.CloseAdapterCompleteHandler;
  Later(state, [complete, context] { complete(context, NDIS_STATUS_SUCCESS); });
  *status = NDIS_STATUS_PENDING;
}

void NdisRequest(PNDIS_STATUS status, NDIS_HANDLE binding_handle, PNDIS_REQUEST request) {
  ExpectNoSpinLock("NdisRequest");
  Adapter::State* state = StateOf(binding_handle);
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
    context = state->binding_context;
  }
  if (request->RequestType == NdisRequestQueryInformation &&
      request->DATA.QUERY_INFORMATION.Oid == 0x00010114 && state->config.on_media_query) {
    state->config.on_media_query();
  }
  if (!state->config.pend_requests) {
    *status = Execute(state, request);
    return;
  }
  REQUEST_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.RequestCompleteHandler;
  Later(state, [state, request, complete, context] {
    NDIS_STATUS result = Execute(state, request);
    complete(context, request, result);
  });
  *status = NDIS_STATUS_PENDING;
}

void NdisTransferData(PNDIS_STATUS status, NDIS_HANDLE binding_handle,
                      NDIS_HANDLE mac_receive_context, UINT byte_offset, UINT bytes_to_transfer,
                      PNDIS_PACKET packet, PUINT bytes_transferred) {
  Adapter::State* state = StateOf(binding_handle);
  const Indication* indication = static_cast<const Indication*>(mac_receive_context);
  if (state == nullptr || indication == nullptr || indication->magic != kIndicationMagic) {
    Fault("NdisTransferData outside a receive indication");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  if (!state->config.pend_transfers) {
    *bytes_transferred = CopyIntoPacket(*indication->frame, indication->header_size, byte_offset,
                                        bytes_to_transfer, packet);
    *status = NDIS_STATUS_SUCCESS;
    return;
  }
  NDIS_HANDLE context;
  {
    std::lock_guard<std::mutex> guard(state->mutex);
    context = state->binding_context;
  }
  TRANSFER_DATA_COMPLETE_HANDLER complete =
      kestova::standin::internal::Protocol().Ndis40Chars.TransferDataCompleteHandler;
  std::vector<uint8_t> frame = *indication->frame;
  UINT header_size = indication->header_size;
  Later(state, [frame, header_size, byte_offset, bytes_to_transfer, packet, complete, context] {
    UINT copied = CopyIntoPacket(frame, header_size, byte_offset, bytes_to_transfer, packet);
    complete(context, packet, NDIS_STATUS_SUCCESS, copied);
  });
  *status = NDIS_STATUS_PENDING;
}

NDIS_STATUS NdisQueryAdapterInstanceName(PNDIS_STRING name, NDIS_HANDLE binding_handle) {
  Adapter::State* state = StateOf(binding_handle);
  if (state == nullptr || !state->config.has_instance_name) return NDIS_STATUS_FAILURE;
  const std::u16string& text = state->config.instance_name;
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
    Adapter::State* holder = nullptr;
    {
      std::lock_guard<std::mutex> guard(world.mutex);
      for (Adapter::State* state : world.adapters) {
        std::lock_guard<std::mutex> inner(state->mutex);
        if (state->held_packets.count(packets[i]) != 0) holder = state;
      }
    }
    if (holder == nullptr) {
      Fault("NdisReturnPackets of a packet the protocol does not hold");
      continue;
    }
    bool release = false;
    {
      std::lock_guard<std::mutex> guard(holder->mutex);
      release = --holder->held_packets[packets[i]] == 0;
      if (release) holder->held_packets.erase(packets[i]);
    }
    if (release) kestova::standin::internal::FreeNdisPacketAndBuffers(packets[i]);
  }
}

// --- The test side of adapters ------------------------------------------------------------------

namespace kestova {
namespace standin {

Adapter::Adapter(AdapterConfig config) : state_(std::make_shared<State>()) {
  state_->config = std::move(config);
  state_->name.Buffer = &state_->config.device_name[0];
  state_->name.Length = static_cast<USHORT>(state_->config.device_name.size() * sizeof(WCHAR));
  state_->name.MaximumLength = state_->name.Length;
  state_->section.Buffer = &state_->protocol_section[0];
  state_->section.Length = static_cast<USHORT>(state_->protocol_section.size() * sizeof(WCHAR));
  state_->section.MaximumLength = state_->section.Length;
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.adapters.push_back(state_.get());
}

Adapter::~Adapter() {
  DrainPending();
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    if (state_->open) Fault("a simulated adapter was destroyed while the driver had it open");
    if (!state_->held_packets.empty()) Fault("indicated packets were never returned");
  }
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.adapters.erase(std::remove(world.adapters.begin(), world.adapters.end(), state_.get()),
                       world.adapters.end());
}

void Adapter::DrainPending() {
  {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->gate_open = true;
    state_->gate.notify_all();
  }
  for (;;) {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> guard(state_->mutex);
      threads.swap(state_->threads);
    }
    if (threads.empty()) break;
    for (std::thread& thread : threads) thread.join();
  }
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->gate_open = false;
}

NDIS_STATUS Adapter::Bind() {
  BIND_HANDLER bind = internal::Protocol().Ndis40Chars.BindAdapterHandler;
  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  int bind_context = 0;
  bind(&status, &bind_context, &state_->name, &state_->section, nullptr);
  return status;
}

NDIS_STATUS Adapter::Unbind() {
  UNBIND_HANDLER unbind = internal::Protocol().Ndis40Chars.UnbindAdapterHandler;
  NDIS_STATUS status = NDIS_STATUS_FAILURE;
  int unbind_context = 0;
  unbind(&status, binding_context(), &unbind_context);
  return status;
}

bool Adapter::is_open() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->open;
}

NDIS_HANDLE Adapter::binding_context() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->binding_context;
}

ULONG Adapter::packet_filter() const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  return state_->packet_filter;
}

std::vector<uint8_t> Adapter::oid_value(NDIS_OID oid) const {
  std::lock_guard<std::mutex> guard(state_->mutex);
  auto it = state_->set_values.find(oid);
  return it == state_->set_values.end() ? std::vector<uint8_t>() : it->second;
}

void Adapter::SetQueryValue(NDIS_OID oid, std::vector<uint8_t> value) {
  std::lock_guard<std::mutex> guard(state_->mutex);
  state_->query_values[oid] = std::move(value);
}

NDIS_STATUS Adapter::IndicateReceive(const std::vector<uint8_t>& frame, size_t lookahead,
                                     UINT header_size) {
  NDIS_HANDLE context = binding_context();
  if (context == nullptr || frame.size() < header_size) {
    Fault("test indicated on a closed adapter or with a short frame");
    return NDIS_STATUS_FAILURE;
  }
  RECEIVE_HANDLER receive = internal::Protocol().Ndis40Chars.ReceiveHandler;
  Indication indication{kIndicationMagic, &frame, header_size};
  UINT packet_size = static_cast<UINT>(frame.size() - header_size);
  UINT lookahead_size = static_cast<UINT>(std::min<size_t>(lookahead, packet_size));
  // Header and lookahead in buffers of their own, so that reading past them is caught.
  std::vector<uint8_t> header(frame.begin(), frame.begin() + header_size);
  std::unique_ptr<uint8_t[]> look(new uint8_t[lookahead_size + 1]);
  memcpy(look.get(), frame.data() + header_size, lookahead_size);
  NDIS_STATUS result = receive(context, &indication, header.data(), header_size, look.get(),
                               lookahead_size, packet_size);
  internal::Protocol().Ndis40Chars.ReceiveCompleteHandler(context);
  indication.magic = 0;
  return result;
}

INT Adapter::IndicatePacket(const std::vector<uint8_t>& frame, const std::vector<size_t>& split,
                            NDIS_STATUS packet_status) {
  NDIS_HANDLE context = binding_context();
  if (context == nullptr) {
    Fault("test indicated on a closed adapter");
    return 0;
  }
  PNDIS_PACKET packet = internal::AllocateNdisPacket();
  std::vector<size_t> chunks;
  size_t rest = frame.size();
  for (size_t size : split) {
    if (rest == 0) break;
    chunks.push_back(std::min(size, rest));
    rest -= chunks.back();
  }
  if (rest != 0 || chunks.empty()) chunks.push_back(rest);
  // Each buffer in memory of its own, so that reading past one is caught.
  std::vector<PNDIS_BUFFER> buffers;
  size_t position = 0;
  for (size_t chunk : chunks) {
    void* memory = malloc(chunk == 0 ? 1 : chunk);
    if (chunk != 0) memcpy(memory, frame.data() + position, chunk);
    buffers.push_back(internal::AllocateNdisBuffer(memory, static_cast<UINT>(chunk)));
    position += chunk;
  }
  for (size_t i = buffers.size(); i > 0; --i) NdisChainBufferAtFront(packet, buffers[i - 1]);
  NDIS_SET_PACKET_STATUS(packet, packet_status);

  INT kept = internal::Protocol().Ndis40Chars.ReceivePacketHandler(context, packet);
  if (kept < 0) Fault("receive-packet handler returned a negative count");
  if (kept > 0 && packet_status == NDIS_STATUS_RESOURCES) {
    Fault("a packet indicated with NDIS_STATUS_RESOURCES was kept");
  }
  if (kept > 0) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->held_packets[packet] += kept;
  } else {
    internal::FreeNdisPacketAndBuffers(packet);
  }
  return kept;
}

void Adapter::IndicateStatus(NDIS_STATUS status) {
  NDIS_HANDLE context = binding_context();
  NDIS50_PROTOCOL_CHARACTERISTICS protocol = internal::Protocol();
  protocol.Ndis40Chars.StatusHandler(context, status, nullptr, 0);
  protocol.Ndis40Chars.StatusCompleteHandler(context);
}

NDIS_STATUS Adapter::IndicatePnP(NET_PNP_EVENT_CODE code, ULONG power_state) {
  NET_DEVICE_POWER_STATE power = static_cast<NET_DEVICE_POWER_STATE>(power_state);
  NET_PNP_EVENT event{};
  event.NetEvent = code;
  if (code == NetEventSetPower || code == NetEventQueryPower) {
    event.Buffer = &power;
    event.BufferLength = sizeof(power);
  }
  return internal::Protocol().Ndis40Chars.PnPEventHandler(binding_context(), &event);
}

NDIS_STATUS IndicateGlobalPnP(NET_PNP_EVENT_CODE code) {
  NET_PNP_EVENT event{};
  event.NetEvent = code;
  return internal::Protocol().Ndis40Chars.PnPEventHandler(nullptr, &event);
}

const NDIS50_PROTOCOL_CHARACTERISTICS* RegisteredProtocol() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  return world.protocol_registered ? &world.protocol : nullptr;
}

void ResetWorld() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.faults.clear();
  world.debug_lines.clear();
  world.fail_create_device = STATUS_SUCCESS;
  world.fail_symbolic_link = STATUS_SUCCESS;
  world.fail_register = NDIS_STATUS_SUCCESS;
  world.environment_present = true;
  world.environment_value = 1;
}

}  // namespace standin
}  // namespace kestova
