#include "capture/name_responder.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <vector>

#include "capture/test_support/name_query_frames.h"

namespace kestova {
namespace {

using testing::Address;

// Keeps every answer instead of sending it.
class CRecordingTransport : public IAnswerTransport {
 public:
  struct Sent {
    uint32_t querier;
    std::vector<uint8_t> message;
  };

  uint32_t AddressToAnnounce(uint32_t querier) override {
    asked.push_back(querier);
    return announced;
  }
  bool SendToNameService(uint32_t querier, const uint8_t* message, uint32_t length,
                         SystemError* why) override {
    if (sendRefused) {
      *why = SystemErrorOf(ENETUNREACH);
      return false;
    }
    sent.push_back({querier, std::vector<uint8_t>(message, message + length)});
    return true;
  }

  bool CanOpenSocket() override { return socketsLeft; }

  uint32_t announced = Address(192, 168, 10, 20);
  bool socketsLeft = true;
  bool sendRefused = false;
  std::vector<uint32_t> asked;
  std::vector<Sent> sent;
};

class NameResponderTest : public ::testing::Test {
 protected:
  bool Handle(const std::vector<uint8_t>& frame) {
    return responder_.HandleFrame(frame.data(), frame.size());
  }

  CRecordingTransport transport_;
  CNameResponder responder_{transport_};
};

TEST_F(NameResponderTest, QueryForGrNameIsAnsweredByteExactToTheQuerier) {
  EXPECT_TRUE(Handle(testing::GrTestQueryFrame()));
  ASSERT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(transport_.sent[0].querier, Address(192, 168, 10, 50));
  EXPECT_EQ(transport_.sent[0].message, testing::KestovAAnswerMessage());
  ASSERT_EQ(transport_.asked.size(), 1u);
  EXPECT_EQ(transport_.asked[0], Address(192, 168, 10, 50));
}

TEST_F(NameResponderTest, LowerCaseGrNameIsAnsweredExactlyLikeCapitals) {
  EXPECT_TRUE(Handle(testing::GrTestQueryFrame("GHHCCNHEGFHDHECACACACACACACACACA")));
  ASSERT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(transport_.sent[0].message, testing::KestovAAnswerMessage());
}

TEST_F(NameResponderTest, AnswerCarriesOneThenTheQuerysSecondIdByte) {
  std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  frame[42] = 0xAB;
  frame[43] = 0xCD;
  ASSERT_TRUE(Handle(frame));
  ASSERT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(transport_.sent[0].message[0], 0x01);
  EXPECT_EQ(transport_.sent[0].message[1], 0xCD);
}

TEST_F(NameResponderTest, TwoIdenticalQueriesGetTwoIdenticalAnswers) {
  const std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  EXPECT_TRUE(Handle(frame));
  EXPECT_TRUE(Handle(frame));
  ASSERT_EQ(transport_.sent.size(), 2u);
  EXPECT_EQ(transport_.sent[0].message, transport_.sent[1].message);
  EXPECT_EQ(transport_.sent[0].querier, transport_.sent[1].querier);
}

TEST_F(NameResponderTest, QueriesThatAreNotForAGrNameAreIgnored) {
  // "GR" only: the length byte says 4 encoded characters, so the name has 2.
  std::vector<uint8_t> shortName = testing::GrTestQueryFrame();
  shortName[54] = 4;
  // "WORKGROUP" and "GRX": other names.
  std::vector<uint8_t> workgroup = testing::GrTestQueryFrame("FHEPFCELEHFCEPFFFACACACACACACAAA");
  std::vector<uint8_t> grx = testing::GrTestQueryFrame("EHFCFICACACACACACACACACACACACACA");
  // NBSTAT instead of NB.
  std::vector<uint8_t> nodeStatus = testing::GrTestQueryFrame();
  nodeStatus[89] = 0x21;
  // Question count 0.
  std::vector<uint8_t> noQuestion = testing::GrTestQueryFrame();
  noQuestion[47] = 0;

  for (const auto* frame : {&shortName, &workgroup, &grx, &nodeStatus, &noQuestion}) {
    EXPECT_FALSE(Handle(*frame));
  }
  EXPECT_TRUE(transport_.sent.empty());
  EXPECT_TRUE(transport_.asked.empty());
}

TEST_F(NameResponderTest, OwnAnswerIsNeverAnswered) {
  std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  frame.resize(42);
  const std::vector<uint8_t> answer = testing::KestovAAnswerMessage();
  frame.insert(frame.end(), answer.begin(), answer.end());
  // Even when it would ask for a "GR-" name and its type field said NB.
  std::vector<uint8_t> grAnswer = frame;
  for (size_t i = 0; i < 32; ++i) grAnswer[55 + i] = testing::kEncodedGrTest[i];
  EXPECT_FALSE(Handle(frame));
  EXPECT_FALSE(Handle(grAnswer));
  EXPECT_TRUE(transport_.sent.empty());
}

TEST_F(NameResponderTest, FramesTooShortOrTooLongAreIgnored) {
  const std::vector<uint8_t> query = testing::GrTestQueryFrame();
  std::vector<uint8_t> headersOnly(query.begin(), query.begin() + 42);
  std::vector<uint8_t> shortOfType(query.begin(), query.begin() + 89);
  std::vector<uint8_t> oversized = query;
  oversized.resize(2000, 0);
  std::vector<uint8_t> justOverCopy = query;
  justOverCopy.resize(CNameResponder::kFrameCopySize + 1, 0);
  for (const auto* frame : {&headersOnly, &shortOfType, &oversized, &justOverCopy}) {
    EXPECT_FALSE(Handle(*frame)) << frame->size() << " bytes";
  }
  EXPECT_TRUE(transport_.sent.empty());
}

TEST_F(NameResponderTest, FramesAtTheSizeLimitsAreAnswered) {
  const std::vector<uint8_t> query = testing::GrTestQueryFrame();
  std::vector<uint8_t> shortest(query.begin(), query.begin() + CNameResponder::kShortestQueryFrame);
  std::vector<uint8_t> longest = query;
  longest.resize(CNameResponder::kFrameCopySize, 0xEE);
  EXPECT_TRUE(Handle(shortest));
  EXPECT_TRUE(Handle(longest));
  ASSERT_EQ(transport_.sent.size(), 2u);
  EXPECT_EQ(transport_.sent[0].message, testing::KestovAAnswerMessage());
  EXPECT_EQ(transport_.sent[1].message, testing::KestovAAnswerMessage());
}

TEST_F(NameResponderTest, NameLengthReachingPastTheFrameIsHandledSafely) {
  // 255 encoded characters claimed in a frame of 90 bytes: decoding must stay in the copy.
  std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  frame.resize(90);
  frame[54] = 0xFF;
  EXPECT_TRUE(Handle(frame));  // the first three characters still read "GR-"
}

TEST_F(NameResponderTest, NothingIsSentWithoutAnAddressToAnnounce) {
  transport_.announced = 0;
  EXPECT_FALSE(Handle(testing::GrTestQueryFrame()));
  EXPECT_EQ(transport_.asked.size(), 1u);
  EXPECT_TRUE(transport_.sent.empty());
}

TEST_F(NameResponderTest, FrameCallbackReachesTheResponderInItsContext) {
  const std::vector<uint8_t> frame = testing::GrTestQueryFrame();
  CNameResponder::OnFrame(0x33221100, 0x5544, frame.data(), static_cast<uint32_t>(frame.size()),
                          &responder_);
  CNameResponder::OnFrame(0, 0, frame.data(), static_cast<uint32_t>(frame.size()), nullptr);
  EXPECT_EQ(transport_.sent.size(), 1u);
}

TEST_F(NameResponderTest, ObserverIsToldWhatBecameOfEveryFrame) {
  std::vector<NameQueryReport> reports;
  responder_.SetObserver(
      [](const NameQueryReport& report, void* context) {
        static_cast<std::vector<NameQueryReport>*>(context)->push_back(report);
      },
      &reports);
  std::vector<uint8_t> otherName = testing::GrTestQueryFrame("FHEPFCELEHFCEPFFFACACACACACACABN");
  std::vector<uint8_t> nodeStatus = testing::GrTestQueryFrame();
  nodeStatus[89] = 0x21;
  const struct {
    std::vector<uint8_t> frame;
    uint32_t announced;
    bool socketsLeft;
    bool sendRefused;
    NameQueryVerdict verdict;
    const char* namePrefix;
  } kCases[] = {
      {testing::GrTestQueryFrame(), Address(192, 168, 10, 20), true, false,
       NameQueryVerdict::kAnswered, "GR-"},
      {testing::GrTestQueryFrame(), 0, true, false, NameQueryVerdict::kNoAddress, "GR-"},
      {testing::GrTestQueryFrame(), 0, false, false, NameQueryVerdict::kNoSocket, "GR-"},
      {testing::GrTestQueryFrame(), Address(192, 168, 10, 20), true, true,
       NameQueryVerdict::kSendFailed, "GR-"},
      {otherName, Address(192, 168, 10, 20), true, false, NameQueryVerdict::kOtherName,
       "WORKGROUP"},
      {nodeStatus, Address(192, 168, 10, 20), true, false, NameQueryVerdict::kNotNameQuery, ""},
      {std::vector<uint8_t>(60, 0), Address(192, 168, 10, 20), true, false,
       NameQueryVerdict::kMalformed, ""},
  };
  for (const auto& c : kCases) {
    reports.clear();
    transport_.announced = c.announced;
    transport_.socketsLeft = c.socketsLeft;
    transport_.sendRefused = c.sendRefused;
    EXPECT_EQ(Handle(c.frame), c.verdict == NameQueryVerdict::kAnswered);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].verdict, c.verdict);
    EXPECT_EQ(std::string(reports[0].name.CStr()).rfind(c.namePrefix, 0), 0u)
        << reports[0].name.CStr();
    if (c.verdict == NameQueryVerdict::kAnswered || c.verdict == NameQueryVerdict::kSendFailed) {
      EXPECT_EQ(reports[0].querier, Address(192, 168, 10, 50));
      EXPECT_EQ(reports[0].announced, c.announced);
    }
    EXPECT_EQ(reports[0].sendError.code, c.sendRefused ? ENETUNREACH : 0);
  }
}

}  // namespace
}  // namespace kestova
