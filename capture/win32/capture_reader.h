// The capture reader thread: pulls frames from the driver's device or from a socket and calls
// the frame callback once per frame, until the stop event is signalled or its source fails.
#pragma once

#include <cstdint>

#include "capture/frame_callback.h"

namespace kestova {

// Shared between the thread that starts and stops capture and the reader thread. Handles are
// kept as void* / uintptr_t so that this header needs no <windows.h>.
struct CaptureReader {
  enum class Source {
    kDevice,     // overlapped ReadFile on \\.\KESTOVA: captured-frame records
    kRawSocket,  // a raw IPv4 socket: whole IPv4 packets
    kUdpSocket,  // a UDP socket on port 137: datagram payloads
  };

  void* stopEvent = nullptr;  // HANDLE, manual-reset; the reader resets it on its way out
  volatile long running = 0;  // interlocked; non-zero from StartCaptureReader to the end
  FrameCallback callback = nullptr;
  void* context = nullptr;
  Source source = Source::kDevice;
  void* device = reinterpret_cast<void*>(static_cast<intptr_t>(-1));  // INVALID_HANDLE_VALUE
  uintptr_t socket = ~static_cast<uintptr_t>(0);                      // INVALID_SOCKET
};

// Starts the reader thread at normal priority. The running count is raised before the thread
// exists, so a Stop right after a successful start always waits for it. The reader owns the
// device handle or socket from then on: it closes it (and marks it invalid) when it ends, resets
// the stop event and lowers the count, in that order. False when the thread cannot be created:
// the count is lowered again and the handle stays with the caller.
bool StartCaptureReader(CaptureReader* reader);

// Signals the stop event and waits (yielding) until the running count is 0.
void StopCaptureReader(CaptureReader* reader);

}  // namespace kestova
