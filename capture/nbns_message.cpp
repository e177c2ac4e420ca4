#include "capture/nbns_message.h"

#include <cstring>

#include "capture/netbios_name.h"

namespace kestova {
namespace {

// Offsets within the messages.
constexpr size_t kIdOffset = 0;
constexpr size_t kFlagsOffset = 2;
constexpr size_t kQuestionCountOffset = 4;
constexpr size_t kAnswerCountOffset = 6;
constexpr size_t kNameLengthOffset = 12;
constexpr size_t kNameOffset = 13;
constexpr size_t kNameEndOffset = kNameOffset + kEncodedNetbiosNameLength;  // 45
constexpr size_t kTypeOffset = 46;
constexpr size_t kClassOffset = 48;
constexpr size_t kTimeToLiveOffset = 50;
constexpr size_t kDataLengthOffset = 54;
constexpr size_t kNbFlagsOffset = 56;
constexpr size_t kAddressOffset = 58;

constexpr uint16_t kTypeNb = 0x0020;
constexpr uint16_t kClassIn = 0x0001;
constexpr uint8_t kResponseIdFirstByte = 0x01;

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

// Header and question/answer name shared by both messages.
void PutHeaderAndName(uint16_t id, uint16_t flags, uint16_t questions, uint16_t answers,
                      const CCountedString& name, uint8_t* message) {
  PutU16(message + kIdOffset, id);
  PutU16(message + kFlagsOffset, flags);
  PutU16(message + kQuestionCountOffset, questions);
  PutU16(message + kAnswerCountOffset, answers);
  PutU16(message + 8, 0);   // authority count
  PutU16(message + 10, 0);  // additional count
  message[kNameLengthOffset] = static_cast<uint8_t>(kEncodedNetbiosNameLength);
  SetNetbiosName(message + kNameOffset, name);
  message[kNameEndOffset] = 0;
  PutU16(message + kTypeOffset, kTypeNb);
  PutU16(message + kClassOffset, kClassIn);
}

}  // namespace

void BuildNameQueryResponse(uint8_t idSecondByte, const CCountedString& name, uint32_t address,
                            uint8_t* response) {
  const uint16_t id = static_cast<uint16_t>((kResponseIdFirstByte << 8) | idSecondByte);
  PutHeaderAndName(id, 0x8500, 0, 1, name, response);
  std::memset(response + kTimeToLiveOffset, 0, 4);
  PutU16(response + kDataLengthOffset, 6);
  PutU16(response + kNbFlagsOffset, 0x0000);  // unique name, B-node
  std::memcpy(response + kAddressOffset, &address, 4);
}

void BuildNameQuery(uint16_t transactionId, const CCountedString& name, uint8_t* query) {
  PutHeaderAndName(transactionId, 0x0110, 1, 0, name, query);
}

bool ParseNameQueryResponse(const uint8_t* message, size_t length, uint16_t transactionId,
                            uint32_t* address) {
  if (length < kNameQueryResponseLength) return false;
  const uint8_t idFirst = static_cast<uint8_t>(transactionId >> 8);
  if (message[1] != static_cast<uint8_t>(transactionId)) return false;
  if (message[0] != idFirst && message[0] != kResponseIdFirstByte) return false;
  const uint16_t flags = GetU16(message + kFlagsOffset);
  const bool isResponse = (flags & 0x8000) != 0;
  const unsigned opcode = (flags >> 11) & 0x0F;
  const unsigned returnCode = flags & 0x0F;
  if (!isResponse || opcode != 0 || returnCode != 0) return false;
  if (GetU16(message + kAnswerCountOffset) == 0) return false;
  if (message[kNameLengthOffset] != kEncodedNetbiosNameLength || message[kNameEndOffset] != 0) {
    return false;
  }
  if (GetU16(message + kTypeOffset) != kTypeNb || GetU16(message + kClassOffset) != kClassIn) {
    return false;
  }
  if (GetU16(message + kDataLengthOffset) < 6) return false;
  std::memcpy(address, message + kAddressOffset, 4);
  return true;
}

}  // namespace kestova
