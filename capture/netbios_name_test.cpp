#include "capture/netbios_name.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/counted_string_printer.h"
#include "capture/test_support/name_query_frames.h"

namespace kestova {
namespace {

const uint8_t* Bytes(const char* text) { return reinterpret_cast<const uint8_t*>(text); }

TEST(NetbiosNameTest, EncodingAndDecodingOfPaddedNames) {
  EXPECT_EQ(EncodeNetbiosName(PadNetbiosName("KESTOV-A")), testing::kEncodedKestovA);
  EXPECT_EQ(EncodeNetbiosName(PadNetbiosName("GR-TEST")), testing::kEncodedGrTest);
  EXPECT_EQ(DecodeNetbiosName(Bytes(testing::kEncodedGrTest), 32), "GR-TEST         ");
}

TEST(NetbiosNameTest, EncodingCoversEveryByteValue) {
  const char bytes[] = {'\x00', '\x0F', '\xF0', '\xFF'};
  EXPECT_EQ(EncodeNetbiosName(CCountedString(bytes, 4)), "AAAPPAPP");
  const CCountedString decoded = DecodeNetbiosName(Bytes("AAAPPAPP"), 8);
  ASSERT_EQ(decoded.Length(), 4u);
  EXPECT_EQ(std::memcmp(decoded.CStr(), bytes, 4), 0);
}

TEST(NetbiosNameTest, DecodingFollowsTheFormulaForAnyCharacter) {
  // ((h - 1) & 0x0F) << 4 | ((l - 1) & 0x0F): '0' is 0x30, so ('0' - 1) & 0x0F = 0x0F.
  const CCountedString decoded = DecodeNetbiosName(Bytes("0a"), 2);
  ASSERT_EQ(decoded.Length(), 1u);
  EXPECT_EQ(decoded.ByteAt(0), 0xF0);
}

TEST(NetbiosNameTest, OddCountRoundsUpAndEmptyCountGivesNothing) {
  // The last pair of an odd count takes its second character from beyond the count.
  EXPECT_EQ(DecodeNetbiosName(Bytes("EHFCCN"), 5), "GR-");
  EXPECT_TRUE(DecodeNetbiosName(Bytes("EH"), 0).IsEmpty());
}

TEST(NetbiosNameTest, PaddingCutsOrFillsToSixteenCharacters) {
  EXPECT_EQ(PadNetbiosName(""), "                ");
  EXPECT_EQ(PadNetbiosName("KESTOV-A"), "KESTOV-A        ");
  EXPECT_EQ(PadNetbiosName("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOP");
}

TEST(NetbiosNameTest, SettingWritesExactlyThirtyTwoLetters) {
  uint8_t buffer[34];
  std::memset(buffer, '#', sizeof(buffer));
  SetNetbiosName(buffer + 1, "KESTOV-A");
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(std::memcmp(buffer + 1, testing::kEncodedKestovA, 32), 0);
  EXPECT_EQ(buffer[33], '#');
}

}  // namespace
}  // namespace kestova
