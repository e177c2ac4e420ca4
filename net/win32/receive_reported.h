// The step of a Windows receive that follows the wait: taking the bytes whose arrival
// (FD_READ) or whose sender's close (FD_CLOSE) the system has reported. Apart from the
// socket body so that a test can hand it the events real Windows reports, which Wine
// never does (a close reported while bytes still wait).
#pragma once

#include <cstdint>

#include "net/event_socket.h"

namespace kestova {

// `networkEvents` are those WSAEnumNetworkEvents returned for the socket. Receives what
// is available, at most `capacity` bytes, without waiting: true with the count when
// bytes were taken (also when the close was reported with them); false with 0 bytes
// when the stream has ended, on an error, or when neither event was reported. When the
// stream has ended in order, *peerClosed (if given) becomes true; it is left alone otherwise.
// *error (if given) is the system's code of an error, 0 otherwise.
bool ReceiveReported(SocketHandle handle, long networkEvents, void* buffer, uint32_t capacity,
                     uint32_t* bytesReceived, uint32_t* senderAddress, uint16_t* senderPort,
                     bool* peerClosed = nullptr, int* error = nullptr);

}  // namespace kestova
