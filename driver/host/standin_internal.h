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
  std::vector<std::string> debugLines;
  std::map<const void*, Block> blocks;
  std::set<PacketPool*> packetPools;
  std::set<BufferPool*> bufferPools;
  std::set<PNDIS_PACKET> packets;
  std::set<PNDIS_BUFFER> buffers;
  long spinLocks = 0;
  long configurations = 0;
  long driverPackets = 0;
  long driverBuffers = 0;

  NTSTATUS failCreateDevice = STATUS_SUCCESS;
  NTSTATUS failSymbolicLink = STATUS_SUCCESS;
  NDIS_STATUS failRegister = NDIS_STATUS_SUCCESS;
  bool environmentPresent = true;
  ULONG environmentValue = 1;

  DRIVER_OBJECT driver{};
  PDEVICE_OBJECT device = nullptr;
  std::u16string deviceName;
  std::u16string linkName;
  std::u16string linkTarget;
  bool linkExists = false;
  bool protocolRegistered = false;
  NDIS50_PROTOCOL_CHARACTERISTICS protocol{};
  std::vector<CAdapter::State*> adapters;
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
  UINT headerSize;
};

// Open bindings and pended operations of all simulated adapters.
void AdapterCounts(long* openBindings, long* inFlight);

// Packets and buffers of the simulated NDIS itself (indications).
PNDIS_PACKET AllocateNdisPacket();
PNDIS_BUFFER AllocateNdisBuffer(PVOID address, UINT length);
void FreeNdisPacketAndBuffers(PNDIS_PACKET packet);

}  // namespace internal

// A simulated adapter's state, shared by the test-side object and the NDIS functions.
struct CAdapter::State {
  AdapterConfig config;
  mutable std::mutex mutex;  // the fields below
  bool open = false;
  NDIS_HANDLE bindingContext = nullptr;
  ULONG packetFilter = 0;
  std::map<NDIS_OID, std::vector<uint8_t>> setValues;
  std::map<NDIS_OID, std::vector<uint8_t>> queryValues;
  std::map<PNDIS_PACKET, int> heldPackets;  // indicated packets the protocol kept
  int inFlight = 0;                         // pended requests and transfers
  std::vector<std::thread> threads;
  bool gateOpen = false;  // lets held operations complete
  std::condition_variable gate;
  std::u16string protocolSection = u"KESTOVA";
  UNICODE_STRING name{};
  UNICODE_STRING section{};
};

}  // namespace standin
}  // namespace kestova

#endif  // KESTOVA_DRIVER_HOST_STANDIN_INTERNAL_H_
