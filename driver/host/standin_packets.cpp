// The stand-in's NDIS packets and buffers: pools, packets, buffer descriptors and chains, for the
// driver's own pools and for the packets the simulated NDIS indicates.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <mutex>

#include "standin_internal.h"

using kestova::standin::internal::BufferPool;
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
  packet->standinReservedLength = pool->reserved;
  packet->standinStatus = NDIS_STATUS_SUCCESS;
  return packet;
}

}  // namespace

void NdisAllocatePacketPoolEx(PNDIS_STATUS status, PNDIS_HANDLE pool, UINT descriptors,
                              UINT overflowDescriptors, UINT protocolReservedLength) {
  PacketPool* created =
      new PacketPool{descriptors + overflowDescriptors, protocolReservedLength, 0, true};
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.packetPools.insert(created);
  *pool = created;
  *status = NDIS_STATUS_SUCCESS;
}

bool kestova::standin::PacketPoolShape(NDIS_HANDLE pool, UINT* descriptors, UINT* reserved) {
  PacketPool* packetPool = static_cast<PacketPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packetPools.count(packetPool) == 0) return false;
  *descriptors = packetPool->limit;
  *reserved = packetPool->reserved;
  return true;
}

void NdisFreePacketPool(NDIS_HANDLE pool) {
  PacketPool* packetPool = static_cast<PacketPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packetPools.erase(packetPool) == 0) {
    world.faults.push_back("NdisFreePacketPool of an unknown pool");
    return;
  }
  if (packetPool->outstanding != 0) {
    world.faults.push_back("NdisFreePacketPool with packets still allocated");
  }
  delete packetPool;
}

void NdisAllocatePacket(PNDIS_STATUS status, PNDIS_PACKET* packet, NDIS_HANDLE pool) {
  PacketPool* packetPool = static_cast<PacketPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.packetPools.count(packetPool) == 0) {
    world.faults.push_back("NdisAllocatePacket from an unknown pool");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  if (packetPool->outstanding >= packetPool->limit) {
    *status = NDIS_STATUS_RESOURCES;
    *packet = nullptr;
    return;
  }
  *packet = NewPacket(packetPool);
  ++packetPool->outstanding;
  world.packets.insert(*packet);
  if (packetPool->driver) ++world.driverPackets;
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
  if (pool->driver) --world.driverPackets;
  free(packet);
}

void NdisAllocateBufferPool(PNDIS_STATUS status, PNDIS_HANDLE pool, UINT) {
  BufferPool* created = new BufferPool{0, true};
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.bufferPools.insert(created);
  *pool = created;
  *status = NDIS_STATUS_SUCCESS;
}

void NdisFreeBufferPool(NDIS_HANDLE pool) {
  BufferPool* bufferPool = static_cast<BufferPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.bufferPools.erase(bufferPool) == 0) {
    world.faults.push_back("NdisFreeBufferPool of an unknown pool");
    return;
  }
  if (bufferPool->outstanding != 0) {
    world.faults.push_back("NdisFreeBufferPool with buffers still allocated");
  }
  delete bufferPool;
}

// On the NT family a buffer pool does not limit its descriptors.
void NdisAllocateBuffer(PNDIS_STATUS status, PNDIS_BUFFER* buffer, NDIS_HANDLE pool, PVOID address,
                        UINT length) {
  BufferPool* bufferPool = static_cast<BufferPool*>(pool);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.bufferPools.count(bufferPool) == 0) {
    world.faults.push_back("NdisAllocateBuffer from an unknown pool");
    *status = NDIS_STATUS_FAILURE;
    return;
  }
  PNDIS_BUFFER created = new MDL();
  created->MappedSystemVa = address;
  created->ByteCount = length;
  created->standinDescribed = length;
  created->standinPool = bufferPool;
  ++bufferPool->outstanding;
  world.buffers.insert(created);
  if (bufferPool->driver) ++world.driverBuffers;
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
  BufferPool* pool = static_cast<BufferPool*>(buffer->standinPool);
  --pool->outstanding;
  if (pool->driver) --world.driverBuffers;
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
  if (address != nullptr) *address = buffer->standinUnmappable ? nullptr : buffer->MappedSystemVa;
  *length = buffer->ByteCount;
}

void NdisGetNextBuffer(PNDIS_BUFFER buffer, PNDIS_BUFFER* next) { *next = buffer->Next; }

void NdisAdjustBufferLength(PNDIS_BUFFER buffer, UINT length) {
  if (length > buffer->standinDescribed) {
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

void NdisCopyFromPacketToPacket(PNDIS_PACKET destination, UINT destinationOffset, UINT bytes,
                                PNDIS_PACKET source, UINT sourceOffset, PUINT bytesCopied) {
  *bytesCopied = 0;
  PNDIS_BUFFER to = destination->Private.Head;
  PNDIS_BUFFER from = source->Private.Head;
  UINT toOffset = destinationOffset;
  UINT fromOffset = sourceOffset;
  while (to != nullptr && toOffset >= to->ByteCount) {
    toOffset -= to->ByteCount;
    to = to->Next;
  }
  while (from != nullptr && fromOffset >= from->ByteCount) {
    fromOffset -= from->ByteCount;
    from = from->Next;
  }
  while (bytes != 0 && to != nullptr && from != nullptr) {
    UINT chunk = std::min({bytes, to->ByteCount - toOffset, from->ByteCount - fromOffset});
    memcpy(static_cast<char*>(to->MappedSystemVa) + toOffset,
           static_cast<const char*>(from->MappedSystemVa) + fromOffset, chunk);
    *bytesCopied += chunk;
    bytes -= chunk;
    toOffset += chunk;
    fromOffset += chunk;
    if (toOffset == to->ByteCount) {
      to = to->Next;
      toOffset = 0;
    }
    if (fromOffset == from->ByteCount) {
      from = from->Next;
      fromOffset = 0;
    }
  }
}

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
  buffer->standinDescribed = length;
  buffer->standinPool = NdisOwnBufferPool();
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

}  // namespace internal
}  // namespace standin
}  // namespace kestova
