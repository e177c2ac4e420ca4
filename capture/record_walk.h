// The walk over the captured-frame records of one read from the capture driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/frame_callback.h"

namespace kestova {

// Calls `callback` (when set) once per record of `buffer[0, length)`, in order, with the
// record's adapter key, its frame and the frame's length. Records are packed back to back: a
// 36-byte header (sequence, key low, key high, frame length N, 20 reserved bytes; little-endian
// words) followed by N frame bytes. The walk ends at the end of the bytes, or before a record
// whose header or frame would reach past them; nothing beyond `length` is ever read.
// Returns the number of whole records found.
size_t WalkCapturedFrames(const uint8_t* buffer, size_t length, FrameCallback callback,
                          void* context);

}  // namespace kestova
