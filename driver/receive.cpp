// Receive: the NDIS receive handlers, the frame filter, the copy packets and frame intake.
// Every handler here may run at dispatch level on any processor, for several bindings at once.
#include "driver_globals.h"

namespace kestova {

namespace {

constexpr UINT kEthernetHeaderSize = 14;
constexpr UINT kShortestFilteredBuffer = 43;  // the first buffer must hold more than 42 bytes

// What a copy packet keeps in its protocol-reserved area (12 bytes): the packet's own buffer
// descriptor while a transfer uses a temporary one, and the size of the memory it owns.
struct CopyPacketReserved {
  PNDIS_BUFFER ownBuffer;
  ULONG memoryLength;
};
constexpr UINT kReservedOwnBufferOffset = 0;
constexpr UINT kReservedLengthOffset = sizeof(PNDIS_BUFFER);
static_assert(kReservedLengthOffset + sizeof(ULONG) <= 12, "fits the receive pool's reserve");

CopyPacketReserved ReadReserved(PNDIS_PACKET packet) {
  CopyPacketReserved reserved;
  NdisMoveMemory(&reserved.ownBuffer, packet->ProtocolReserved + kReservedOwnBufferOffset,
                 sizeof(reserved.ownBuffer));
  NdisMoveMemory(&reserved.memoryLength, packet->ProtocolReserved + kReservedLengthOffset,
                 sizeof(reserved.memoryLength));
  return reserved;
}

void WriteReserved(PNDIS_PACKET packet, const CopyPacketReserved& reserved) {
  NdisMoveMemory(packet->ProtocolReserved + kReservedOwnBufferOffset, &reserved.ownBuffer,
                 sizeof(reserved.ownBuffer));
  NdisMoveMemory(packet->ProtocolReserved + kReservedLengthOffset, &reserved.memoryLength,
                 sizeof(reserved.memoryLength));
}

// Keeps IPv4 UDP frames from port 137 to port 137 with a 20-byte IP header and type of service
// 0. Looks at the first buffer only, at most 38 bytes of it.
BOOLEAN PassesFilter(PNDIS_PACKET packet) {
  PNDIS_BUFFER first = NULL;
  NdisQueryPacketFirstBuffer(packet, &first);
  if (first == NULL) return FALSE;
  PVOID address = NULL;
  UINT length = 0;
  NdisQueryBufferSafe(first, &address, &length, NormalPagePriority);
  if (address == NULL || length < kShortestFilteredBuffer) return FALSE;
  const UCHAR* frame = static_cast<const UCHAR*>(address);
  return frame[12] == 0x08 && frame[13] == 0x00 &&  // IPv4
         frame[14] == 0x45 &&                       // version 4, 20-byte header
         frame[15] == 0x00 &&                       // type of service
         frame[23] == 0x11 &&                       // UDP
         frame[34] == 0x00 && frame[35] == 0x89 &&  // source port 137
         frame[36] == 0x00 && frame[37] == 0x89;    // destination port 137
}

// A packet from the binding's receive pool holding `length` bytes of our own memory in one
// buffer; NULL if any part cannot be had.
PNDIS_PACKET AllocateCopyPacket(OpenContext* pOpenContext, UINT length, UCHAR** memory) {
  if (length == 0) return NULL;
  PVOID block = NULL;
  if (NdisAllocateMemoryWithTag(&block, length, kCopyMemoryTag) != NDIS_STATUS_SUCCESS) {
    return NULL;
  }
  NDIS_STATUS status;
  PNDIS_BUFFER buffer = NULL;
  NdisAllocateBuffer(&status, &buffer, pOpenContext->RecvBufferPool, block, length);
  if (status != NDIS_STATUS_SUCCESS) {
    NdisFreeMemory(block, length, 0);
    return NULL;
  }
  PNDIS_PACKET packet = NULL;
  NdisAllocatePacket(&status, &packet, pOpenContext->RecvPacketPool);
  if (status != NDIS_STATUS_SUCCESS) {
    NdisFreeBuffer(buffer);
    NdisFreeMemory(block, length, 0);
    return NULL;
  }
  NdisChainBufferAtFront(packet, buffer);
  CopyPacketReserved reserved = {NULL, length};
  WriteReserved(packet, reserved);
  *memory = static_cast<UCHAR*>(block);
  return packet;
}

void FreeCopyPacket(PNDIS_PACKET packet) {
  CopyPacketReserved reserved = ReadReserved(packet);
  // The first buffer is the packet's own one and starts at the memory block.
  PNDIS_BUFFER buffer = NULL;
  NdisUnchainBufferAtFront(packet, &buffer);
  PVOID memory = NULL;
  if (buffer != NULL) {
    UINT length = 0;
    NdisQueryBufferSafe(buffer, &memory, &length, NormalPagePriority);
  }
  while (buffer != NULL) {
    NdisFreeBuffer(buffer);
    NdisUnchainBufferAtFront(packet, &buffer);
  }
  if (memory != NULL) NdisFreeMemory(memory, reserved.memoryLength, 0);
  NdisFreePacket(packet);
}

// Shortens a copy packet whose fill came up short, so that no unwritten byte is captured.
void TrimCopyPacket(PNDIS_PACKET packet, UINT length) {
  PNDIS_BUFFER buffer = NULL;
  NdisQueryPacketFirstBuffer(packet, &buffer);
  if (buffer == NULL) return;
  NdisAdjustBufferLength(buffer, length);
  NdisRecalculatePacketCounts(packet);
}

// Captures the packet if it passes the filter, releases it if it is a copy, then serves reads.
// A packet that NDIS indicated stays NDIS's: the handler returns it by its return value.
void FrameIntake(OpenContext* pOpenContext, PNDIS_PACKET packet, BOOLEAN isCopy) {
  if (PassesFilter(packet)) {
    AcquireGlobalLock();
    AppendRecord(&g_globals.Capture, packet, pOpenContext->AdapterKey);
    ReleaseGlobalLock();
  }
  if (isCopy) FreeCopyPacket(packet);
  ServiceReads();
}

}  // namespace

// Lookahead indication: the frame is copied into a copy packet, whole from the lookahead when it
// is all there, else through NdisTransferData.
NDIS_STATUS NTAPI ReceiveIndication(NDIS_HANDLE protocolBindingContext,
                                    NDIS_HANDLE macReceiveContext, PVOID headerBuffer,
                                    UINT headerBufferSize, PVOID lookaheadBuffer,
                                    UINT lookaheadBufferSize, UINT packetSize) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  if (headerBufferSize != kEthernetHeaderSize) return NDIS_STATUS_NOT_ACCEPTED;
  UCHAR* memory = NULL;
  PNDIS_PACKET packet = AllocateCopyPacket(pOpenContext, packetSize + kEthernetHeaderSize, &memory);
  if (packet == NULL) return NDIS_STATUS_NOT_ACCEPTED;
  NdisMoveMemory(memory, headerBuffer, kEthernetHeaderSize);

  if (lookaheadBufferSize >= packetSize) {
    NdisMoveMemory(memory + kEthernetHeaderSize, lookaheadBuffer, packetSize);
    FrameIntake(pOpenContext, packet, TRUE);
    return NDIS_STATUS_SUCCESS;
  }

  // The rest of the frame is transferred into the area behind the header, described by a
  // temporary buffer that stands in for the packet's own one meanwhile.
  NDIS_STATUS status;
  PNDIS_BUFFER partial = NULL;
  NdisAllocateBuffer(&status, &partial, pOpenContext->RecvBufferPool, memory + kEthernetHeaderSize,
                     packetSize);
  if (status != NDIS_STATUS_SUCCESS) {
    TransferDataComplete(pOpenContext, packet, status, 0);
    return NDIS_STATUS_SUCCESS;
  }
  CopyPacketReserved reserved = ReadReserved(packet);
  NdisUnchainBufferAtFront(packet, &reserved.ownBuffer);
  WriteReserved(packet, reserved);
  NdisChainBufferAtFront(packet, partial);

  UINT transferred = 0;
  NdisTransferData(&status, pOpenContext->BindingHandle, macReceiveContext, 0, packetSize, packet,
                   &transferred);
  if (status != NDIS_STATUS_PENDING) {
    TransferDataComplete(pOpenContext, packet, status, transferred);
  }
  return NDIS_STATUS_SUCCESS;
}

// Up to dispatch level: the transfer into a copy packet has ended; restores the packet's own
// buffer and captures the frame, or drops it if the transfer failed.
VOID NTAPI TransferDataComplete(NDIS_HANDLE protocolBindingContext, PNDIS_PACKET packet,
                                NDIS_STATUS status, UINT bytesTransferred) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  CopyPacketReserved reserved = ReadReserved(packet);
  BOOLEAN transferred = reserved.ownBuffer != NULL;
  if (transferred) {
    PNDIS_BUFFER partial = NULL;
    NdisUnchainBufferAtFront(packet, &partial);
    NdisChainBufferAtFront(packet, reserved.ownBuffer);
    reserved.ownBuffer = NULL;
    WriteReserved(packet, reserved);
    if (partial != NULL) NdisFreeBuffer(partial);
  }
  if (status != NDIS_STATUS_SUCCESS) {
    FreeCopyPacket(packet);
    return;
  }
  if (transferred && bytesTransferred + kEthernetHeaderSize < reserved.memoryLength) {
    TrimCopyPacket(packet, bytesTransferred + kEthernetHeaderSize);
  }
  FrameIntake(pOpenContext, packet, TRUE);
}

VOID NTAPI ReceiveComplete(NDIS_HANDLE) {}

// Packet indication. The frame is captured (copied) before this returns, so no reference is kept
// and the result is always 0: NDIS owns its packet again as soon as the handler returns.
INT NTAPI ReceivePacket(NDIS_HANDLE protocolBindingContext, PNDIS_PACKET packet) {
  OpenContext* pOpenContext = static_cast<OpenContext*>(protocolBindingContext);
  PNDIS_BUFFER first = NULL;
  UINT totalLength = QueryPacketLength(packet, &first);
  if (first == NULL) return 0;
  PVOID address = NULL;
  UINT firstLength = 0;
  NdisQueryBufferSafe(first, &address, &firstLength, NormalPagePriority);
  if (firstLength <= 13) return 0;

  if (NDIS_GET_PACKET_STATUS(packet) != NDIS_STATUS_RESOURCES && !pOpenContext->RunningOnWin9x) {
    FrameIntake(pOpenContext, packet, FALSE);
    return 0;
  }

  UCHAR* memory = NULL;
  PNDIS_PACKET copy = AllocateCopyPacket(pOpenContext, totalLength, &memory);
  if (copy == NULL) return 0;
  UINT bytesCopied = 0;
  NdisCopyFromPacketToPacket(copy, 0, totalLength, packet, 0, &bytesCopied);
  KESTOVA_ASSERT_REPORTING(bytesCopied == totalLength, "BytesCopied == TotalPacketLength");
  if (bytesCopied < totalLength) TrimCopyPacket(copy, bytesCopied);
  FrameIntake(pOpenContext, copy, TRUE);
  return 0;
}

}  // namespace kestova
