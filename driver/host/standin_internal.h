// Shared state of the kernel and NDIS stand-in (its .cpp files only).
#ifndef KESTOVA_DRIVER_HOST_STANDIN_INTERNAL_H_
#define KESTOVA_DRIVER_HOST_STANDIN_INTERNAL_H_

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kernel_standin.h"
#include "kernel_standin_control.h"

namespace kestova {
namespace standin {
namespace internal {

// Records a breach of a kernel rule.
void Fault(const std::string& what);
// Number of spin locks (including the cancel lock) the calling thread holds.
int HeldSpinLocks();
// Faults when the calling thread holds a spin lock; `what` names the operation.
void ExpectNoSpinLock(const char* what);

// Lock bookkeeping of the calling thread (spin locks and the cancel lock).
void NoteSpinLockAcquired(void* lock);
void NoteSpinLockReleased(void* lock);
void ForgetLockOrders(void* lock);

struct Block {
  size_t size;
  ULONG tag;
  bool ndis;  // NdisAllocateMemoryWithTag (else ExAllocatePoolWithTag)
};

struct PacketPool {
  UINT limit;
  UINT reserved;
  UINT outstanding = 0;
  bool driver;  // created by the driver (else by the simulated NDIS)
};

struct BufferPool {
  UINT outstanding = 0;
  bool driver;
};

struct World {
  std::mutex mutex;  // everything below
  std::vector<std::string> faults;
  std::vector<std::string> debug_lines;
  std::map<const void*, Block> blocks;
  std::set<PacketPool*> packet_pools;
  std::set<BufferPool*> buffer_pools;
  std::set<PNDIS_PACKET> packets;
  std::set<PNDIS_BUFFER> buffers;
  long spin_locks = 0;
  long configurations = 0;
  long driver_packets = 0;
  long driver_buffers = 0;

  NTSTATUS fail_create_device = STATUS_SUCCESS;
  NTSTATUS fail_symbolic_link = STATUS_SUCCESS;
  NDIS_STATUS fail_register = NDIS_STATUS_SUCCESS;
  bool environment_present = true;
  ULONG environment_value = 1;

  DRIVER_OBJECT driver{};
  PDEVICE_OBJECT device = nullptr;
  std::u16string device_name;
  std::u16string link_name;
  std::u16string link_target;
  bool link_exists = false;
  bool protocol_registered = false;
  NDIS50_PROTOCOL_CHARACTERISTICS protocol{};
  std::vector<Adapter::State*> adapters;
};

World& TheWorld();

// The characteristics of the registered protocol (a copy); faults if none is registered.
NDIS50_PROTOCOL_CHARACTERISTICS Protocol();

std::u16string ToString(const UNICODE_STRING* text);

constexpr uint32_t kIndicationMagic = 0x1D1CA7E5;

// What a receive indication passes as MAC receive context (checked by NdisTransferData).
struct Indication {
  uint32_t magic;
  const std::vector<uint8_t>* frame;
  UINT header_size;
};

// Open bindings and pended operations of all simulated adapters.
void AdapterCounts(long* open_bindings, long* in_flight);

// Packets and buffers of the simulated NDIS itself (indications).
PNDIS_PACKET AllocateNdisPacket();
PNDIS_BUFFER AllocateNdisBuffer(PVOID address, UINT length);
void FreeNdisPacketAndBuffers(PNDIS_PACKET packet);

}  // namespace internal

// A simulated adapter's state, shared by the test-side object and the NDIS functions.
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

}  // namespace standin
}  // namespace kestova

#endif  // KESTOVA_DRIVER_HOST_STANDIN_INTERNAL_H_
