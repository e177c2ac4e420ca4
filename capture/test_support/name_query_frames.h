// Frames and messages shared by the capture tests, written out byte by byte as they appear on
// the wire: a recorder at 192.168.10.50 broadcasting an NB name query for "GR-TEST", and the
// answer that names KESTOV-A at 192.168.10.20.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace kestova {
namespace testing {

// The byte arrays are laid out by protocol field.
// clang-format off

// The first-level encodings of the names involved.
constexpr char kEncodedGrTest[] = "EHFCCNFEEFFDFECACACACACACACACACA";  // "GR-TEST" + 9 spaces
constexpr char kEncodedKestovA[] = "ELEFFDFEEPFGCNEBCACACACACACACACA";  // "KESTOV-A" + 8 spaces

// Appends the bytes of a text (without its NUL).
inline void AppendText(std::vector<uint8_t>& out, const char* text) {
  while (*text != '\0') out.push_back(static_cast<uint8_t>(*text++));
}

// The 50-byte name service message of the query (transaction id 0x12 0x34).
inline std::vector<uint8_t> GrTestQueryMessage(const char* encodedName = kEncodedGrTest) {
  std::vector<uint8_t> m = {0x12, 0x34, 0x01, 0x10, 0x00, 0x01, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x20};
  AppendText(m, encodedName);
  const uint8_t tail[] = {0x00, 0x00, 0x20, 0x00, 0x01};
  m.insert(m.end(), tail, tail + sizeof(tail));
  return m;
}

// The whole 92-byte Ethernet frame of the query.
inline std::vector<uint8_t> GrTestQueryFrame(const char* encodedName = kEncodedGrTest) {
  std::vector<uint8_t> f = {
      // Ethernet: broadcast, from 00:11:22:33:44:55, IPv4
      0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x08, 0x00,
      // IPv4: 78 bytes, id 0x1234, TTL 64, UDP, 192.168.10.50 -> 192.168.10.255
      0x45, 0x00, 0x00, 0x4e, 0x12, 0x34, 0x00, 0x00, 0x40, 0x11, 0xd1, 0xe9,
      0xc0, 0xa8, 0x0a, 0x32, 0xc0, 0xa8, 0x0a, 0xff,
      0x00, 0x89, 0x00, 0x89, 0x00, 0x3a, 0x00, 0x00};  // UDP 137 -> 137, 58 bytes
  const std::vector<uint8_t> message = GrTestQueryMessage(encodedName);
  f.insert(f.end(), message.begin(), message.end());
  return f;
}

// The 62-byte answer to that query, announcing 192.168.10.20.
inline std::vector<uint8_t> KestovAAnswerMessage() {
  std::vector<uint8_t> m = {0x01, 0x34, 0x85, 0x00, 0x00, 0x00, 0x00, 0x01,
                            0x00, 0x00, 0x00, 0x00, 0x20};
  AppendText(m, kEncodedKestovA);
  const uint8_t tail[] = {0x00, 0x00, 0x20, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                          0x00, 0x06, 0x00, 0x00, 0xc0, 0xa8, 0x0a, 0x14};
  m.insert(m.end(), tail, tail + sizeof(tail));
  return m;
}

// IPv4 addresses in network byte order.
inline uint32_t Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  const uint8_t bytes[4] = {a, b, c, d};
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

// clang-format on

}  // namespace testing
}  // namespace kestova
