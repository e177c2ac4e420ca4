// Frames of the driver's shape for the captures that run without the driver: a raw socket
// delivers whole IPv4 packets, a UDP socket only payloads; both are given an Ethernet header and
// judged by the same rule as the driver's frame filter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestova {

// The driver's frame filter: more than 42 bytes, Ethernet type IPv4, first IPv4 byte 0x45 (a
// 20-byte header), type of service 0, UDP, source port 137 and destination port 137.
bool PassesDriverFilter(const uint8_t* frame, size_t length);

// Writes a 14-byte Ethernet II header (zero hardware addresses, type IPv4) followed by the
// `length` bytes of `packet` into `frame`. Returns the frame's length, or 0 when it does not fit
// `capacity`.
size_t FrameFromIpv4Packet(const uint8_t* packet, size_t length, uint8_t* frame, size_t capacity);

}  // namespace kestova
