#include "capture/name_responder.h"

#include <cstring>

#include "base/counted_string.h"
#include "capture/nbns_message.h"
#include "capture/netbios_name.h"

namespace kestova {
namespace {

// Offsets within the Ethernet frame: 14-byte Ethernet II header, 20-byte IPv4 header, 8-byte
// UDP header, then the name service message at 42.
constexpr size_t kSourceAddressOffset = 26;
constexpr size_t kIdSecondByteOffset = 43;
constexpr size_t kQuestionCountOffset = 46;
constexpr size_t kQuestionNameLengthOffset = 54;
constexpr size_t kQuestionNameOffset = 55;
// Where the question type lies when the encoded name has its usual 32 characters; tested
// there whatever the length byte says.
constexpr size_t kQuestionTypeOffset = 88;

}  // namespace

bool CNameResponder::Tell(NameQueryReport& report) const {
  if (observer_ != nullptr) observer_(report, observerContext_);
  return report.verdict == NameQueryVerdict::kAnswered;
}

bool CNameResponder::HandleFrame(const uint8_t* frame, size_t length) const {
  NameQueryReport report;
  if (length < kShortestQueryFrame || length > kFrameCopySize) return Tell(report);
  // The copy is zeroed beyond the frame, so an encoded name whose length byte reaches past the
  // frame's end decodes to defined (if meaningless) characters.
  uint8_t copy[kFrameCopySize];
  std::memcpy(copy, frame, length);
  std::memset(copy + length, 0, kFrameCopySize - length);

  const bool hasQuestion = copy[kQuestionCountOffset] != 0 || copy[kQuestionCountOffset + 1] != 0;
  const bool isTypeNb = copy[kQuestionTypeOffset] == 0x00 && copy[kQuestionTypeOffset + 1] == 0x20;
  std::memcpy(&report.querier, copy + kSourceAddressOffset, 4);
  report.verdict = NameQueryVerdict::kNotNameQuery;
  if (!hasQuestion || !isTypeNb) return Tell(report);
  report.name = DecodeNetbiosName(copy + kQuestionNameOffset, copy[kQuestionNameLengthOffset]);
  report.verdict = NameQueryVerdict::kOtherName;
  if (!report.name.Left(3).EqualsNoCase("GR-")) return Tell(report);
  SendAnswer(copy, kOwnNetbiosName, &report);
  return Tell(report);
}

bool CNameResponder::SendAnswer(const uint8_t* frameCopy, const CCountedString& name,
                                NameQueryReport* report) const {
  uint32_t querier;
  std::memcpy(&querier, frameCopy + kSourceAddressOffset, 4);
  const uint32_t address = transport_.AddressToAnnounce(querier);
  report->verdict = NameQueryVerdict::kNoAddress;
  if (address == 0) {
    if (!transport_.CanOpenSocket()) report->verdict = NameQueryVerdict::kNoSocket;
    return false;
  }
  uint8_t response[kNameQueryResponseLength];
  BuildNameQueryResponse(frameCopy[kIdSecondByteOffset], name, address, response);
  report->announced = address;
  if (!transport_.SendToNameService(querier, response, sizeof(response), &report->sendError)) {
    report->verdict = NameQueryVerdict::kSendFailed;
    return false;
  }
  report->verdict = NameQueryVerdict::kAnswered;
  return true;
}

void CNameResponder::OnFrame(uint32_t /*keyLow*/, uint32_t /*keyHigh*/, const uint8_t* frame,
                             uint32_t length, void* context) {
  if (context == nullptr || frame == nullptr) return;
  static_cast<const CNameResponder*>(context)->HandleFrame(frame, length);
}

}  // namespace kestova
