// The reader thread: one overlapped 64 KiB read pending on the driver's device, or a socket
// waited on with WSAEventSelect; the stop event ends either wait.
#include "capture/win32/capture_reader.h"

#include <windows.h>
#include <winsock2.h>

#include <cstdlib>

#include "capture/name_service_frame.h"
#include "capture/nbns_message.h"
#include "capture/record_walk.h"
#include "capture/win32/datagram_frame.h"
#include "driver/kestova_shared.h"

namespace kestova {
namespace {

constexpr DWORD kReadSize = kCaptureBufferSize;  // always whole records (the driver's buffer)
constexpr size_t kDatagramCapacity = 65536;

// Reads records from the device until the stop event is signalled or a read fails outright.
void ReadDevice(CaptureReader* reader) {
  const HANDLE device = static_cast<HANDLE>(reader->device);
  OVERLAPPED overlapped = {};
  overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (overlapped.hEvent == nullptr) return;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(kReadSize));
  const HANDLE waits[2] = {overlapped.hEvent, static_cast<HANDLE>(reader->stopEvent)};
  while (buffer != nullptr) {
    ResetEvent(overlapped.hEvent);
    if (!ReadFile(device, buffer, kReadSize, nullptr, &overlapped)) {
      if (GetLastError() != ERROR_IO_PENDING) break;
      if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        // Stopping (or the wait broke): the pending read is cancelled by closing the device,
        // which happens below before the buffer it may still fill is freed.
        CancelIo(device);
        DWORD ignored = 0;
        GetOverlappedResult(device, &overlapped, &ignored, TRUE);
        break;
      }
    }
    DWORD received = 0;
    // A read the driver cancelled (or one that failed after pending) is simply issued again.
    if (!GetOverlappedResult(device, &overlapped, &received, FALSE)) continue;
    WalkCapturedFrames(buffer, received, reader->callback, reader->context);
  }
  std::free(buffer);
  CloseHandle(overlapped.hEvent);
}

// Hands one received datagram to the callback as a frame of the driver's shape.
void DeliverDatagram(const CaptureReader& reader, const uint8_t* data, size_t length,
                     const sockaddr_in& from, uint8_t* frame, size_t capacity) {
  size_t frameLength = 0;
  if (reader.source == CaptureReader::Source::kRawSocket) {
    frameLength = FrameFromIpv4Packet(data, length, frame, capacity);
  } else {
    UdpDatagramAddresses addresses;
    addresses.sourceAddress = from.sin_addr.s_addr;
    addresses.sourcePort = ntohs(from.sin_port);
    addresses.destinationPort = kNameServicePort;
    frameLength = BuildUdpFrame(addresses, data, length, frame, capacity);
  }
  if (frameLength == 0 || !PassesDriverFilter(frame, frameLength)) return;
  if (reader.callback != nullptr) {
    reader.callback(0, 0, frame, static_cast<uint32_t>(frameLength), reader.context);
  }
}

// Receives until the socket would block; false when the socket failed for good.
bool DrainSocket(const CaptureReader& reader, uint8_t* datagram, uint8_t* frame) {
  const SOCKET s = static_cast<SOCKET>(reader.socket);
  for (;;) {
    sockaddr_in from = {};
    int fromLength = sizeof from;
    const int received = recvfrom(s, reinterpret_cast<char*>(datagram), kDatagramCapacity, 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK) return true;
      // An ICMP error about an earlier datagram, or one too long for the buffer: not fatal.
      if (error == WSAECONNRESET || error == WSAEMSGSIZE || error == WSAENETRESET) continue;
      return false;
    }
    DeliverDatagram(reader, datagram, static_cast<size_t>(received), from, frame,
                    kEthernetHeaderLength + kDatagramCapacity);
  }
}

// Reads datagrams until the stop event is signalled or the socket fails.
void ReadSocket(CaptureReader* reader) {
  const SOCKET s = static_cast<SOCKET>(reader->socket);
  const WSAEVENT readable = WSACreateEvent();
  if (readable == WSA_INVALID_EVENT) return;
  uint8_t* datagram = static_cast<uint8_t*>(std::malloc(kDatagramCapacity));
  uint8_t* frame = static_cast<uint8_t*>(std::malloc(kEthernetHeaderLength + kDatagramCapacity));
  if (datagram != nullptr && frame != nullptr &&
      WSAEventSelect(s, readable, FD_READ) != SOCKET_ERROR) {
    const HANDLE waits[2] = {readable, static_cast<HANDLE>(reader->stopEvent)};
    while (DrainSocket(*reader, datagram, frame)) {
      if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) break;
      WSAResetEvent(readable);
    }
  }
  std::free(frame);
  std::free(datagram);
  WSACloseEvent(readable);
}

DWORD WINAPI ReaderThread(void* argument) {
  CaptureReader* reader = static_cast<CaptureReader*>(argument);
  if (reader->source == CaptureReader::Source::kDevice) {
    if (reader->device != INVALID_HANDLE_VALUE) ReadDevice(reader);
    if (reader->device != INVALID_HANDLE_VALUE) CloseHandle(static_cast<HANDLE>(reader->device));
    reader->device = INVALID_HANDLE_VALUE;
  } else {
    if (reader->socket != INVALID_SOCKET) ReadSocket(reader);
    if (reader->socket != INVALID_SOCKET) closesocket(static_cast<SOCKET>(reader->socket));
    reader->socket = INVALID_SOCKET;
  }
  ResetEvent(static_cast<HANDLE>(reader->stopEvent));
  InterlockedDecrement(&reader->running);
  return 0;
}

}  // namespace

bool StartCaptureReader(CaptureReader* reader) {
  InterlockedIncrement(&reader->running);
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, ReaderThread, reader, 0, &id);
  if (thread == nullptr) {
    InterlockedDecrement(&reader->running);
    return false;
  }
  CloseHandle(thread);
  return true;
}

void StopCaptureReader(CaptureReader* reader) {
  SetEvent(static_cast<HANDLE>(reader->stopEvent));
  while (InterlockedCompareExchange(&reader->running, 0, 0) != 0) Sleep(0);
}

}  // namespace kestova
