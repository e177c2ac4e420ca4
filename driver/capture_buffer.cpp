// Receive: the capture buffer, a linear queue of captured-frame records shared by all adapters.
// Records are appended at the end and read from the front; what a read leaves is moved to the
// front. It never holds more than kCaptureBufferLimit bytes, so a full-size read takes it all.
#include "driver_globals.h"

namespace kestova {

namespace {

void WriteWord(UCHAR* bytes, ULONG value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<UCHAR>(value >> (8 * i));
}

ULONG ReadWord(const UCHAR* bytes) {
  return static_cast<ULONG>(bytes[0]) | (static_cast<ULONG>(bytes[1]) << 8) |
         (static_cast<ULONG>(bytes[2]) << 16) | (static_cast<ULONG>(bytes[3]) << 24);
}

}  // namespace

// Walks the chain rather than using NdisQueryPacket, whose DDK form imports a helper that not
// every NDIS exports.
UINT QueryPacketLength(PNDIS_PACKET packet, PNDIS_BUFFER* first) {
  PNDIS_BUFFER current = NULL;
  NdisQueryPacketFirstBuffer(packet, &current);
  if (first != NULL) *first = current;
  UINT total = 0;
  while (current != NULL) {
    PVOID address = NULL;
    UINT length = 0;
    NdisQueryBufferSafe(current, &address, &length, NormalPagePriority);
    total += length;
    PNDIS_BUFFER next = NULL;
    NdisGetNextBuffer(current, &next);
    current = next;
  }
  return total;
}

BOOLEAN CreateCaptureBuffer(CaptureBuffer* buffer) {
  buffer->used = 0;
  buffer->sequence = 0;
  NdisAllocateSpinLock(&buffer->lock);
  buffer->storage =
      static_cast<UCHAR*>(ExAllocatePoolWithTag(NonPagedPool, kCaptureBufferSize, kPoolTag));
  if (buffer->storage == NULL) return FALSE;
  NdisZeroMemory(buffer->storage, kCaptureBufferSize);
  return TRUE;
}

void DestroyCaptureBuffer(CaptureBuffer* buffer) {
  if (buffer->storage != NULL) ExFreePoolWithTag(buffer->storage, kPoolTag);
  buffer->storage = NULL;
  buffer->used = 0;
  NdisFreeSpinLock(&buffer->lock);
}

// Caller holds the global lock. A frame that would take the buffer past its limit is dropped
// and uses no sequence number.
void AppendRecord(CaptureBuffer* buffer, PNDIS_PACKET packet, const UCHAR key[8]) {
  PNDIS_BUFFER first = NULL;
  UINT totalLength = QueryPacketLength(packet, &first);

  NdisAcquireSpinLock(&buffer->lock);
  if (buffer->storage == NULL || static_cast<ULONG>(totalLength) + kCapturedFrameHeaderSize >
                                     kCaptureBufferLimit - buffer->used) {
    NdisReleaseSpinLock(&buffer->lock);
    return;
  }
  UCHAR* header = buffer->storage + buffer->used;
  ULONG end = buffer->used + kCapturedFrameHeaderSize;
  ULONG copied = 0;
  for (PNDIS_BUFFER current = first; current != NULL;) {
    PVOID address = NULL;
    UINT length = 0;
    NdisQueryBufferSafe(current, &address, &length, NormalPagePriority);
    if (length > totalLength - copied) length = totalLength - copied;
    if (address != NULL && length != 0) {
      NdisMoveMemory(buffer->storage + end, address, length);
      end += length;
      copied += length;
    }
    PNDIS_BUFFER next = NULL;
    NdisGetNextBuffer(current, &next);
    current = next;
  }
  WriteWord(header + 0, buffer->sequence);
  WriteWord(header + 4, ReadWord(key));
  WriteWord(header + 8, ReadWord(key + 4));
  WriteWord(header + 12, copied);
  buffer->used = end;
  ++buffer->sequence;
  NdisReleaseSpinLock(&buffer->lock);
}

ULONG TakeFromCaptureBuffer(CaptureBuffer* buffer, UCHAR* destination, ULONG length) {
  NdisAcquireSpinLock(&buffer->lock);
  ULONG taken = buffer->used < length ? buffer->used : length;
  if (taken != 0) {
    NdisMoveMemory(destination, buffer->storage, taken);
    ULONG rest = buffer->used - taken;
    RtlMoveMemory(buffer->storage, buffer->storage + taken, rest);  // regions may overlap
    buffer->used = rest;
  }
  NdisReleaseSpinLock(&buffer->lock);
  return taken;
}

BOOLEAN CaptureBufferIsEmpty(CaptureBuffer* buffer) {
  NdisAcquireSpinLock(&buffer->lock);
  BOOLEAN empty = buffer->used == 0 ? TRUE : FALSE;
  NdisReleaseSpinLock(&buffer->lock);
  return empty;
}

}  // namespace kestova
