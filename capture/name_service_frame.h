// The shape of frame the name responder is fed: Ethernet II, an IPv4 header of exactly 20
// bytes with type of service 0, UDP from port 137 to port 137. The capture driver keeps only
// such frames, the Linux packet capture asks the kernel for the same, and the Linux socket
// capture builds such frames around the datagrams it receives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestova {

constexpr size_t kEthernetHeaderLength = 14;
constexpr size_t kIpv4HeaderLength = 20;
constexpr size_t kUdpHeaderLength = 8;
constexpr size_t kUdpPayloadOffset = kEthernetHeaderLength + kIpv4HeaderLength + kUdpHeaderLength;

// True when the frame has the shape above (the same test as the kernel-side frame filter).
bool IsNameServiceFrame(const uint8_t* frame, size_t length);

struct UdpDatagramAddresses {
  uint32_t sourceAddress = 0;  // network byte order
  uint16_t sourcePort = 0;     // host byte order
  uint32_t destinationAddress = 0;
  uint16_t destinationPort = 0;
};

// Writes an Ethernet II frame (zero hardware addresses) holding an IPv4 (20-byte header,
// ToS 0, TTL 64, header checksum set) UDP datagram with `payload` into `frame`. Returns the
// frame's length, or 0 when it would not fit `capacity` or exceed an IPv4 datagram's size.
size_t BuildUdpFrame(const UdpDatagramAddresses& addresses, const uint8_t* payload,
                     size_t payloadLength, uint8_t* frame, size_t capacity);

}  // namespace kestova
