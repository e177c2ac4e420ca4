#include "capture/nbns_message.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture/test_support/name_query_frames.h"

namespace kestova {
namespace {

using testing::Address;

TEST(NbnsMessageTest, ResponseAndQueryAreBuiltByteExact) {
  std::vector<uint8_t> response(kNameQueryResponseLength);
  BuildNameQueryResponse(0x34, kOwnNetbiosName, Address(192, 168, 10, 20), response.data());
  EXPECT_EQ(response, testing::KestovAAnswerMessage());

  std::vector<uint8_t> query(kNameQueryLength);
  BuildNameQuery(0x1234, "GR-TEST", query.data());
  EXPECT_EQ(query, testing::GrTestQueryMessage());
}

TEST(NbnsMessageTest, PositiveAnswerGivesItsAddress) {
  const std::vector<uint8_t> answer = testing::KestovAAnswerMessage();
  uint32_t address = 0;
  EXPECT_TRUE(ParseNameQueryResponse(answer.data(), answer.size(), 0x1234, &address));
  EXPECT_EQ(address, Address(192, 168, 10, 20));
  // A responder that echoes the whole transaction id is understood too.
  std::vector<uint8_t> echoed = answer;
  echoed[0] = 0x12;
  address = 0;
  EXPECT_TRUE(ParseNameQueryResponse(echoed.data(), echoed.size(), 0x1234, &address));
  EXPECT_EQ(address, Address(192, 168, 10, 20));
}

TEST(NbnsMessageTest, MessagesThatAreNoPositiveAnswerToOurQueryAreRejected) {
  const std::vector<uint8_t> answer = testing::KestovAAnswerMessage();
  struct Change {
    size_t offset;
    uint8_t value;
    const char* what;
  } const changes[] = {
      {1, 0x35, "other transaction"},       {0, 0x77, "other first id byte"},
      {2, 0x05, "a query, not a response"}, {3, 0x03, "negative answer (name error)"},
      {2, 0xAD, "registration opcode"},     {7, 0x00, "no answer record"},
      {12, 0x10, "name of another length"}, {47, 0x21, "NBSTAT answer"},
      {55, 0x04, "no room for an address"},
  };
  for (const Change& change : changes) {
    std::vector<uint8_t> message = answer;
    message[change.offset] = change.value;
    uint32_t address = 0;
    EXPECT_FALSE(ParseNameQueryResponse(message.data(), message.size(), 0x1234, &address))
        << change.what;
  }
  uint32_t address = 0;
  EXPECT_FALSE(ParseNameQueryResponse(answer.data(), answer.size() - 1, 0x1234, &address));
  const std::vector<uint8_t> query = testing::GrTestQueryMessage();
  EXPECT_FALSE(ParseNameQueryResponse(query.data(), query.size(), 0x1234, &address));
}

}  // namespace
}  // namespace kestova
