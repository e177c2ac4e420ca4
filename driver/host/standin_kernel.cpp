// The stand-in's kernel services: accounting, pool, memory helpers, spin locks, events, sleep,
// interlocked operations, strings and debug print.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "standin_internal.h"

namespace kestova {
namespace standin {
namespace internal {

namespace {

thread_local int t_held_spin_locks = 0;
// Spin locks the calling thread holds, in acquisition order (for the lock-order check).
thread_local std::vector<void*> t_held_locks;

struct SpinLock {
  std::mutex mutex;
  std::thread::id owner;
};

// Pairs (held, then acquired) seen so far: the reverse order of a seen pair is a fault.
std::mutex g_order_mutex;
std::set<std::pair<void*, void*>> g_lock_orders;

std::mutex g_event_mutex;
std::condition_variable g_event_changed;

}  // namespace

World& TheWorld() {
  static World* world = new World();
  return *world;
}

void Fault(const std::string& what) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.faults.push_back(what);
  if (getenv("KESTOVA_STANDIN_VERBOSE") != nullptr) fprintf(stderr, "FAULT: %s\n", what.c_str());
}

int HeldSpinLocks() { return t_held_spin_locks; }

void ExpectNoSpinLock(const char* what) {
  if (t_held_spin_locks != 0) Fault(std::string(what) + " called while holding a spin lock");
}

void NoteSpinLockAcquired(void* lock) {
  {
    std::lock_guard<std::mutex> guard(g_order_mutex);
    for (void* held : t_held_locks) {
      if (g_lock_orders.count({lock, held}) != 0) {
        Fault("spin locks taken in both orders");
      }
      g_lock_orders.insert({held, lock});
    }
  }
  t_held_locks.push_back(lock);
  ++t_held_spin_locks;
}

void NoteSpinLockReleased(void* lock) {
  for (size_t i = t_held_locks.size(); i > 0; --i) {
    if (t_held_locks[i - 1] == lock) {
      t_held_locks.erase(t_held_locks.begin() + static_cast<long>(i - 1));
      break;
    }
  }
  --t_held_spin_locks;
}

void ForgetLockOrders(void* lock) {
  std::lock_guard<std::mutex> guard(g_order_mutex);
  for (auto it = g_lock_orders.begin(); it != g_lock_orders.end();) {
    if (it->first == lock || it->second == lock) {
      it = g_lock_orders.erase(it);
    } else {
      ++it;
    }
  }
}

std::u16string ToString(const UNICODE_STRING* text) {
  if (text == nullptr || text->Buffer == nullptr) return std::u16string();
  return std::u16string(text->Buffer, text->Length / sizeof(WCHAR));
}

}  // namespace internal

using internal::Fault;
using internal::TheWorld;
using internal::World;

std::vector<std::string> Faults() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  return world.faults;
}

std::vector<std::string> DebugLines() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  return world.debugLines;
}

std::vector<std::string> AssertionReports() {
  std::vector<std::string> reports;
  for (const std::string& line : DebugLines()) {
    if (line.find("assertion failed") != std::string::npos) reports.push_back(line);
  }
  return reports;
}

Outstanding Counts() {
  Outstanding counts;
  internal::AdapterCounts(&counts.openBindings, &counts.requestsInFlight);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  counts.poolBlocks = static_cast<long>(world.blocks.size());
  counts.spinLocks = world.spinLocks;
  for (internal::PacketPool* pool : world.packetPools) counts.packetPools += pool->driver;
  counts.packets = world.driverPackets;
  for (internal::BufferPool* pool : world.bufferPools) counts.bufferPools += pool->driver;
  counts.buffers = world.driverBuffers;
  counts.devices = world.device != nullptr ? 1 : 0;
  counts.symbolicLinks = world.linkExists ? 1 : 0;
  counts.protocols = world.protocolRegistered ? 1 : 0;
  counts.configurations = world.configurations;
  return counts;
}

std::string Describe(const Outstanding& c) {
  std::ostringstream text;
  text << "pool blocks " << c.poolBlocks << ", spin locks " << c.spinLocks << ", packet pools "
       << c.packetPools << ", packets " << c.packets << ", buffer pools " << c.bufferPools
       << ", buffers " << c.buffers << ", devices " << c.devices << ", links " << c.symbolicLinks
       << ", protocols " << c.protocols << ", open bindings " << c.openBindings
       << ", configurations " << c.configurations << ", in flight " << c.requestsInFlight;
  return text.str();
}

bool NothingOutstanding() {
  Outstanding c = Counts();
  return c.poolBlocks == 0 && c.spinLocks == 0 && c.packetPools == 0 && c.packets == 0 &&
         c.bufferPools == 0 && c.buffers == 0 && c.devices == 0 && c.symbolicLinks == 0 &&
         c.protocols == 0 && c.openBindings == 0 && c.configurations == 0 &&
         c.requestsInFlight == 0;
}

void FailIoCreateDevice(NTSTATUS status) {
  std::lock_guard<std::mutex> guard(TheWorld().mutex);
  TheWorld().failCreateDevice = status;
}

void FailIoCreateSymbolicLink(NTSTATUS status) {
  std::lock_guard<std::mutex> guard(TheWorld().mutex);
  TheWorld().failSymbolicLink = status;
}

void FailNdisRegisterProtocol(NDIS_STATUS status) {
  std::lock_guard<std::mutex> guard(TheWorld().mutex);
  TheWorld().failRegister = status;
}

void SetEnvironmentValue(bool present, ULONG value) {
  std::lock_guard<std::mutex> guard(TheWorld().mutex);
  TheWorld().environmentPresent = present;
  TheWorld().environmentValue = value;
}

}  // namespace standin
}  // namespace kestova

using kestova::standin::internal::Fault;
using kestova::standin::internal::TheWorld;
using kestova::standin::internal::World;

// --- Strings, memory, debug print ---------------------------------------------------------------

void RtlInitUnicodeString(PUNICODE_STRING destination, PCWSTR source) {
  size_t length = 0;
  if (source != nullptr) {
    while (source[length] != 0) ++length;
  }
  destination->Buffer = const_cast<PWSTR>(source);
  destination->Length = static_cast<USHORT>(length * sizeof(WCHAR));
  destination->MaximumLength =
      source != nullptr ? static_cast<USHORT>((length + 1) * sizeof(WCHAR)) : 0;
}

ULONG DbgPrint(const char* format, ...) {
  char line[1024];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(line, sizeof(line), format, arguments);
  va_end(arguments);
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.debugLines.push_back(line);
  if (getenv("KESTOVA_STANDIN_VERBOSE") != nullptr) fputs(line, stderr);
  return 0;
}

void NdisMoveMemory(PVOID destination, const void* source, size_t length) {
  const char* d = static_cast<const char*>(destination);
  const char* s = static_cast<const char*>(source);
  if (length != 0 && d < s + length && s < d + length) {
    Fault("NdisMoveMemory with overlapping regions");
  }
  if (length != 0) memmove(destination, source, length);
}

void NdisZeroMemory(PVOID destination, size_t length) {
  if (length != 0) memset(destination, 0, length);
}

void RtlMoveMemory(PVOID destination, const void* source, size_t length) {
  if (length != 0) memmove(destination, source, length);
}

BOOLEAN NdisEqualMemory(const void* a, const void* b, size_t length) {
  return memcmp(a, b, length) == 0 ? TRUE : FALSE;
}

// --- Pool ---------------------------------------------------------------------------------------

namespace {

void* AllocateBlock(size_t size, ULONG tag, bool ndis) {
  if (size == 0) {
    Fault("zero-length allocation");
    return nullptr;
  }
  void* block = malloc(size);
  if (block == nullptr) return nullptr;
  memset(block, 0xCD, size);  // pool memory is not zeroed
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  world.blocks[block] = kestova::standin::internal::Block{size, tag, ndis};
  return block;
}

void FreeBlock(void* block, size_t size, ULONG tag, bool ndis, bool checkSize, bool checkTag) {
  World& world = TheWorld();
  std::string fault;
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    auto it = world.blocks.find(block);
    if (it == world.blocks.end()) {
      fault = "free of memory that is not allocated";
    } else {
      if (it->second.ndis != ndis) fault = "memory freed by the other allocator's free";
      if (checkSize && it->second.size != size) fault = "NdisFreeMemory with the wrong length";
      if (checkTag && it->second.tag != tag) fault = "ExFreePoolWithTag with the wrong tag";
      world.blocks.erase(it);
    }
  }
  if (!fault.empty()) {
    Fault(fault);
    if (fault == "free of memory that is not allocated") return;
  }
  free(block);
}

}  // namespace

PVOID ExAllocatePoolWithTag(POOL_TYPE, size_t size, ULONG tag) {
  return AllocateBlock(size, tag, false);
}

void ExFreePoolWithTag(PVOID block, ULONG tag) { FreeBlock(block, 0, tag, false, false, true); }

NDIS_STATUS NdisAllocateMemoryWithTag(PVOID* block, UINT length, ULONG tag) {
  *block = AllocateBlock(length, tag, true);
  return *block != nullptr ? NDIS_STATUS_SUCCESS : NDIS_STATUS_RESOURCES;
}

void NdisFreeMemory(PVOID block, UINT length, UINT) {
  FreeBlock(block, length, 0, true, true, false);
}

// --- Spin locks ---------------------------------------------------------------------------------

using kestova::standin::internal::SpinLock;

void NdisAllocateSpinLock(PNDIS_SPIN_LOCK lock) {
  lock->standinLock = new SpinLock();
  lock->OldIrql = 0;
  std::lock_guard<std::mutex> guard(TheWorld().mutex);
  ++TheWorld().spinLocks;
}

void NdisFreeSpinLock(PNDIS_SPIN_LOCK lock) {
  SpinLock* impl = static_cast<SpinLock*>(lock->standinLock);
  if (impl == nullptr) {
    Fault("NdisFreeSpinLock of a lock that was never allocated");
    return;
  }
  kestova::standin::internal::ForgetLockOrders(impl);
  delete impl;
  lock->standinLock = nullptr;
  std::lock_guard<std::mutex> guard(TheWorld().mutex);
  --TheWorld().spinLocks;
}

void NdisAcquireSpinLock(PNDIS_SPIN_LOCK lock) {
  SpinLock* impl = static_cast<SpinLock*>(lock->standinLock);
  if (impl == nullptr) {
    Fault("NdisAcquireSpinLock of a lock that was never allocated");
    abort();
  }
  if (impl->owner == std::this_thread::get_id()) {
    Fault("spin lock acquired twice by one thread (a deadlock on a real system)");
    abort();
  }
  impl->mutex.lock();
  impl->owner = std::this_thread::get_id();
  kestova::standin::internal::NoteSpinLockAcquired(impl);
}

void NdisReleaseSpinLock(PNDIS_SPIN_LOCK lock) {
  SpinLock* impl = static_cast<SpinLock*>(lock->standinLock);
  if (impl == nullptr || impl->owner != std::this_thread::get_id()) {
    Fault("NdisReleaseSpinLock of a lock this thread does not hold");
    abort();
  }
  impl->owner = std::thread::id();
  kestova::standin::internal::NoteSpinLockReleased(impl);
  impl->mutex.unlock();
}

// --- Events, sleep, interlocked -----------------------------------------------------------------

using kestova::standin::internal::g_event_changed;
using kestova::standin::internal::g_event_mutex;

void NdisInitializeEvent(PNDIS_EVENT event) {
  std::lock_guard<std::mutex> guard(g_event_mutex);
  event->standinSignaled = 0;
}

void NdisSetEvent(PNDIS_EVENT event) {
  std::lock_guard<std::mutex> guard(g_event_mutex);
  event->standinSignaled = 1;
  g_event_changed.notify_all();
}

void NdisResetEvent(PNDIS_EVENT event) {
  std::lock_guard<std::mutex> guard(g_event_mutex);
  event->standinSignaled = 0;
}

BOOLEAN NdisWaitEvent(PNDIS_EVENT event, UINT milliseconds) {
  kestova::standin::internal::ExpectNoSpinLock("NdisWaitEvent");
  std::unique_lock<std::mutex> lock(g_event_mutex);
  auto isSet = [event] { return event->standinSignaled != 0; };
  if (milliseconds == 0) {
    g_event_changed.wait(lock, isSet);
    return TRUE;
  }
  return g_event_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet) ? TRUE
                                                                                        : FALSE;
}

void NdisMSleep(ULONG microseconds) {
  kestova::standin::internal::ExpectNoSpinLock("NdisMSleep");
  std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

LONG NdisInterlockedIncrement(PLONG addend) {
  return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG NdisInterlockedDecrement(PLONG addend) {
  return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(volatile LONG* destination, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
