// The frame callback: how a capture hands each captured Ethernet frame to its consumer.
#pragma once

#include <cstdint>

namespace kestova {

// Called once per captured frame, on the capture's reader thread, in arrival order.
// `keyLow`/`keyHigh` are the adapter key of the receiving adapter (its Ethernet address
// and two zero bytes as two little-endian words; 0/0 where the capture cannot tell).
// `frame` points at `length` bytes starting with the Ethernet header; the bytes are valid
// only during the call. `context` is the value registered together with the callback.
using FrameCallback = void (*)(uint32_t keyLow, uint32_t keyHigh, const uint8_t* frame,
                               uint32_t length, void* context);

}  // namespace kestova
