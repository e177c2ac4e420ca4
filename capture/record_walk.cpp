#include "capture/record_walk.h"

#include "driver/kestova_shared.h"

namespace kestova {
namespace {

uint32_t ReadLittleEndian32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

}  // namespace

size_t WalkCapturedFrames(const uint8_t* buffer, size_t length, FrameCallback callback,
                          void* context) {
  size_t records = 0;
  size_t offset = 0;
  while (length - offset >= kCapturedFrameHeaderSize) {
    const uint8_t* header = buffer + offset;
    const uint32_t frameLength = ReadLittleEndian32(header + offsetof(CapturedFrameHeader, length));
    const size_t remaining = length - offset - kCapturedFrameHeaderSize;
    if (frameLength > remaining) break;
    if (callback != nullptr) {
      callback(ReadLittleEndian32(header + offsetof(CapturedFrameHeader, keyLow)),
               ReadLittleEndian32(header + offsetof(CapturedFrameHeader, keyHigh)),
               header + kCapturedFrameHeaderSize, frameLength, context);
    }
    offset += kCapturedFrameHeaderSize + frameLength;
    ++records;
  }
  return records;
}

}  // namespace kestova
