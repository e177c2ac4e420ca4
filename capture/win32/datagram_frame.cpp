#include "capture/win32/datagram_frame.h"

#include <cstring>

#include "capture/name_service_frame.h"

namespace kestova {
namespace {

// The driver looks only at a first buffer that holds more than the UDP header's end.
constexpr size_t kShortestKeptFrame = kUdpPayloadOffset + 1;

}  // namespace

bool PassesDriverFilter(const uint8_t* frame, size_t length) {
  return length >= kShortestKeptFrame && IsNameServiceFrame(frame, length);
}

size_t FrameFromIpv4Packet(const uint8_t* packet, size_t length, uint8_t* frame, size_t capacity) {
  if (capacity < kEthernetHeaderLength || length > capacity - kEthernetHeaderLength) return 0;
  std::memset(frame, 0, kEthernetHeaderLength);
  frame[12] = 0x08;  // IPv4
  frame[13] = 0x00;
  if (length > 0) std::memcpy(frame + kEthernetHeaderLength, packet, length);
  return kEthernetHeaderLength + length;
}

}  // namespace kestova
