#include "capture/name_service_frame.h"

#include <cstring>

namespace kestova {
namespace {

constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr uint8_t kIpv4VersionAndLength = 0x45;  // version 4, header of 5 words
constexpr uint8_t kProtocolUdp = 17;
constexpr uint16_t kNameServicePortNumber = 137;
constexpr size_t kIpv4Offset = kEthernetHeaderLength;
constexpr size_t kUdpOffset = kEthernetHeaderLength + kIpv4HeaderLength;

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

uint16_t Ipv4HeaderChecksum(const uint8_t* header) {
  uint32_t sum = 0;
  for (size_t i = 0; i < kIpv4HeaderLength; i += 2) sum += GetU16(header + i);
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

}  // namespace

bool IsNameServiceFrame(const uint8_t* frame, size_t length) {
  if (length < kUdpOffset + 4) return false;
  return GetU16(frame + 12) == kEtherTypeIpv4 && frame[kIpv4Offset] == kIpv4VersionAndLength &&
         frame[kIpv4Offset + 1] == 0 && frame[kIpv4Offset + 9] == kProtocolUdp &&
         GetU16(frame + kUdpOffset) == kNameServicePortNumber &&
         GetU16(frame + kUdpOffset + 2) == kNameServicePortNumber;
}

size_t BuildUdpFrame(const UdpDatagramAddresses& addresses, const uint8_t* payload,
                     size_t payloadLength, uint8_t* frame, size_t capacity) {
  const size_t ipLength = kIpv4HeaderLength + kUdpHeaderLength + payloadLength;
  if (ipLength > 0xFFFF || kUdpPayloadOffset + payloadLength > capacity) return 0;

  std::memset(frame, 0, kUdpPayloadOffset);
  PutU16(frame + 12, kEtherTypeIpv4);

  uint8_t* ip = frame + kIpv4Offset;
  ip[0] = kIpv4VersionAndLength;
  PutU16(ip + 2, static_cast<uint16_t>(ipLength));
  ip[8] = 64;  // time to live
  ip[9] = kProtocolUdp;
  std::memcpy(ip + 12, &addresses.sourceAddress, 4);
  std::memcpy(ip + 16, &addresses.destinationAddress, 4);
  PutU16(ip + 10, Ipv4HeaderChecksum(ip));

  uint8_t* udp = frame + kUdpOffset;
  PutU16(udp, addresses.sourcePort);
  PutU16(udp + 2, addresses.destinationPort);
  PutU16(udp + 4, static_cast<uint16_t>(kUdpHeaderLength + payloadLength));
  // UDP checksum 0: none computed, which IPv4 allows.
  if (payloadLength > 0) std::memcpy(frame + kUdpPayloadOffset, payload, payloadLength);
  return kUdpPayloadOffset + payloadLength;
}

}  // namespace kestova
