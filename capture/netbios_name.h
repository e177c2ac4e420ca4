// NetBIOS names and their first-level encoding (RFC 1001/1002).
//
// A NetBIOS name is 16 single-byte characters; first-level encoding turns each byte into
// two letters 'A' + high nibble, 'A' + low nibble, so an encoded name is 32 letters long.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

constexpr size_t kNetbiosNameLength = 16;
constexpr size_t kEncodedNetbiosNameLength = 2 * kNetbiosNameLength;

// Decodes `count` encoded characters, taken in pairs (h, l) from index 0, 2, 4, ... while
// the index is below `count`; each pair gives ((h - 1) & 0x0F) << 4 | ((l - 1) & 0x0F) in
// 8 bits. An odd count reads one character past `count` for its last pair, so the caller
// must provide `count + 1` readable bytes then. The result has (count + 1) / 2 bytes.
CCountedString DecodeNetbiosName(const uint8_t* encoded, size_t count);

// Encodes every byte of `name`; the result is twice as long.
CCountedString EncodeNetbiosName(const CCountedString& name);

// The name cut or padded with spaces to exactly 16 characters.
CCountedString PadNetbiosName(const CCountedString& name);

// Pads `name` to 16 characters, encodes it and stores the 32 letters at `destination`.
void SetNetbiosName(uint8_t* destination, const CCountedString& name);

}  // namespace kestova
