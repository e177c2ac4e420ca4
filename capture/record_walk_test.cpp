#include "capture/record_walk.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture/name_responder.h"
#include "capture/test_support/name_query_frames.h"
#include "driver/kestova_shared.h"

namespace kestova {
namespace {

struct Delivered {
  uint32_t keyLow;
  uint32_t keyHigh;
  std::vector<uint8_t> frame;
};

void Collect(uint32_t keyLow, uint32_t keyHigh, const uint8_t* frame, uint32_t length,
             void* context) {
  static_cast<std::vector<Delivered>*>(context)->push_back(
      {keyLow, keyHigh, std::vector<uint8_t>(frame, frame + length)});
}

void PutLittleEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Appends one record as the driver writes it; `claimedLength` may lie about the frame.
void AppendRecord(std::vector<uint8_t>& buffer, uint32_t sequence, uint32_t keyLow,
                  uint32_t keyHigh, const std::vector<uint8_t>& frame, uint32_t claimedLength) {
  PutLittleEndian32(buffer, sequence);
  PutLittleEndian32(buffer, keyLow);
  PutLittleEndian32(buffer, keyHigh);
  PutLittleEndian32(buffer, claimedLength);
  buffer.insert(buffer.end(), 20, 0xAA);  // reserved: whatever the kernel's pool held
  buffer.insert(buffer.end(), frame.begin(), frame.end());
}

void AppendRecord(std::vector<uint8_t>& buffer, uint32_t sequence, uint32_t keyLow,
                  uint32_t keyHigh, const std::vector<uint8_t>& frame) {
  AppendRecord(buffer, sequence, keyLow, keyHigh, frame, static_cast<uint32_t>(frame.size()));
}

std::vector<uint8_t> Pattern(size_t length, uint8_t first) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

TEST(RecordWalkTest, TwoRecordsOfNinetyTwoAndSixtyBytesGiveTwoCallbacks) {
  const std::vector<uint8_t> first = Pattern(92, 1);
  const std::vector<uint8_t> second = Pattern(60, 100);
  std::vector<uint8_t> buffer;
  AppendRecord(buffer, 7, 0x33221100, 0x00005544, first);
  AppendRecord(buffer, 8, 0x99887766, 0x0000BBAA, second);
  ASSERT_EQ(buffer.size(), 224u);

  std::vector<Delivered> delivered;
  EXPECT_EQ(WalkCapturedFrames(buffer.data(), buffer.size(), Collect, &delivered), 2u);
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_EQ(delivered[0].keyLow, 0x33221100u);
  EXPECT_EQ(delivered[0].keyHigh, 0x00005544u);
  EXPECT_EQ(delivered[0].frame, first);
  EXPECT_EQ(delivered[1].keyLow, 0x99887766u);
  EXPECT_EQ(delivered[1].keyHigh, 0x0000BBAAu);
  EXPECT_EQ(delivered[1].frame, second);
}

TEST(RecordWalkTest, NoBytesGiveNoCallback) {
  std::vector<Delivered> delivered;
  const uint8_t unused = 0;
  EXPECT_EQ(WalkCapturedFrames(&unused, 0, Collect, &delivered), 0u);
  EXPECT_TRUE(delivered.empty());
}

TEST(RecordWalkTest, RecordClaimingMoreThanRemainsEndsTheWalk) {
  std::vector<uint8_t> buffer;
  AppendRecord(buffer, 0, 1, 2, Pattern(60, 0));
  AppendRecord(buffer, 1, 3, 4, Pattern(50, 0), 51);  // one byte short of its claim
  std::vector<Delivered> delivered;
  EXPECT_EQ(WalkCapturedFrames(buffer.data(), buffer.size(), Collect, &delivered), 1u);
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].keyLow, 1u);

  // A length that would wrap a pointer or a 32-bit sum.
  std::vector<uint8_t> huge;
  AppendRecord(huge, 0, 1, 2, Pattern(60, 0), 0xFFFFFFFFu);
  delivered.clear();
  EXPECT_EQ(WalkCapturedFrames(huge.data(), huge.size(), Collect, &delivered), 0u);
  EXPECT_TRUE(delivered.empty());
}

TEST(RecordWalkTest, PartialHeaderAtTheEndIsNotRead) {
  std::vector<uint8_t> buffer;
  AppendRecord(buffer, 0, 1, 2, Pattern(60, 0));
  const size_t whole = buffer.size();
  AppendRecord(buffer, 1, 3, 4, {});
  for (size_t cut = whole + 1; cut < whole + kCapturedFrameHeaderSize; ++cut) {
    // Copied to a buffer of exactly `cut` bytes, so AddressSanitizer sees any read past it.
    const std::vector<uint8_t> shortened(buffer.begin(), buffer.begin() + cut);
    std::vector<Delivered> delivered;
    EXPECT_EQ(WalkCapturedFrames(shortened.data(), shortened.size(), Collect, &delivered), 1u);
  }
  // An empty frame is a whole record of its own.
  std::vector<Delivered> delivered;
  EXPECT_EQ(WalkCapturedFrames(buffer.data(), buffer.size(), Collect, &delivered), 2u);
  ASSERT_EQ(delivered.size(), 2u);
  EXPECT_TRUE(delivered[1].frame.empty());
}

TEST(RecordWalkTest, WithoutCallbackRecordsAreStillCounted) {
  std::vector<uint8_t> buffer;
  AppendRecord(buffer, 0, 1, 2, Pattern(92, 0));
  AppendRecord(buffer, 1, 1, 2, Pattern(60, 0));
  EXPECT_EQ(WalkCapturedFrames(buffer.data(), buffer.size(), nullptr, nullptr), 2u);
}

// The record walk feeding the responder, as the capture client's reader thread does.
class CCountingTransport : public IAnswerTransport {
 public:
  uint32_t AddressToAnnounce(uint32_t) override { return testing::Address(192, 168, 10, 20); }
  bool SendToNameService(uint32_t, const uint8_t* message, uint32_t length,
                         SystemError*) override {
    answers.emplace_back(message, message + length);
    return true;
  }
  std::vector<std::vector<uint8_t>> answers;
};

TEST(RecordWalkTest, QueriesAmongOtherRecordsAreAnswered) {
  std::vector<uint8_t> buffer;
  AppendRecord(buffer, 0, 1, 2, testing::GrTestQueryFrame());
  AppendRecord(buffer, 1, 1, 2, Pattern(60, 0));
  AppendRecord(buffer, 2, 1, 2, testing::GrTestQueryFrame());
  CCountingTransport transport;
  CNameResponder responder(transport);
  EXPECT_EQ(WalkCapturedFrames(buffer.data(), buffer.size(), &CNameResponder::OnFrame, &responder),
            3u);
  ASSERT_EQ(transport.answers.size(), 2u);
  EXPECT_EQ(transport.answers[0], testing::KestovAAnswerMessage());
  EXPECT_EQ(transport.answers[1], testing::KestovAAnswerMessage());
}

}  // namespace
}  // namespace kestova
