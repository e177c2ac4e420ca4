// The programme title carried in the header of a programme stream, made fit for a
// file name.
//
// The stream's first bytes are a header whose bytes 132-195 (64 bytes) hold the title
// as Shift_JIS text, ending at the first zero byte or after the 64 bytes.
#pragma once

#include <cstddef>

#include "base/counted_string.h"

namespace kestova {

constexpr size_t kTitleFieldOffset = 132;
constexpr size_t kTitleFieldLength = 64;
// A first block this long holds the whole title field.
constexpr size_t kTitleFieldEnd = kTitleFieldOffset + kTitleFieldLength;

// The raw title field of a stream's first `length` bytes: the bytes from offset 132
// up to the first zero byte, the end of the field, or the end of what was received,
// whichever comes first. Empty when fewer than 133 bytes were received.
CCountedString TitleFieldOf(const char* firstBlock, size_t length);

// Replaces each character that cannot stand in a Windows file name by its full-width
// Shift_JIS form: \ -> 0x818F, / -> 0x815E, : -> 0x8146, * -> 0x8196, ? -> 0x8148,
// " -> 0x8168, < -> 0x8183, > -> 0x8184, | -> 0x8162. The scan steps over double-byte
// characters, so a trail byte 0x5C or 0x7C is left alone. Then removes single-byte
// white space at both ends.
CCountedString CleanTitle(const CCountedString& rawTitle);

// CleanTitle(TitleFieldOf(...)): the Shift_JIS title a received programme is named after.
CCountedString ProgrammeTitle(const char* firstBlock, size_t length);

}  // namespace kestova
