#include "capture/linux/name_answering.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "capture/linux/test_support/private_network.h"
#include "capture/test_support/name_query_frames.h"

namespace kestova {
namespace {

using testing::Address;

TEST(CaptureMethodTest, NamesOfTheCommandLineAreRecognised) {
  for (CaptureMethod method : {CaptureMethod::kAuto, CaptureMethod::kPacket, CaptureMethod::kSocket,
                               CaptureMethod::kNone}) {
    CaptureMethod parsed = CaptureMethod::kAuto;
    ASSERT_TRUE(ParseCaptureMethod(CaptureMethodName(method), &parsed));
    EXPECT_EQ(parsed, method);
  }
  CaptureMethod parsed = CaptureMethod::kNone;
  EXPECT_FALSE(ParseCaptureMethod("PACKET", &parsed));
  EXPECT_FALSE(ParseCaptureMethod("", &parsed));
  EXPECT_EQ(parsed, CaptureMethod::kNone);
}

TEST(NameAnsweringTest, NoneRunsNothing) {
  CNameAnswering answering;
  std::string message;
  EXPECT_TRUE(answering.Start(CaptureMethod::kNone, nullptr, &message));
  EXPECT_EQ(answering.Running(), CaptureMethod::kNone);
  EXPECT_NE(message.find("off"), std::string::npos) << message;
}

class NameAnsweringNetworkTest : public ::testing::TestWithParam<CaptureMethod> {
 protected:
  void SetUp() override {
    const std::string reason = testing::EnterPrivateNetwork();
    if (!reason.empty()) GTEST_SKIP() << reason;
  }
};

// A querier at 192.0.2.60 asks the answering at 192.0.2.1 (both on the private lo) and gets
// the answer on its port 137, naming KESTOV-A at the address through which it is reached.
TEST_P(NameAnsweringNetworkTest, QueryFromPort137IsAnsweredWithTheRoutedAddress) {
  CNameAnswering answering;
  std::string message;
  ASSERT_TRUE(answering.Start(GetParam(), nullptr, &message)) << message;
  ASSERT_EQ(answering.Running(), GetParam()) << message;

  const int querier = testing::BoundUdpSocket(Address(192, 0, 2, 60), 137);
  ASSERT_GE(querier, 0);
  const std::vector<uint8_t> query = testing::GrTestQueryMessage();
  sockaddr_in to;
  std::memset(&to, 0, sizeof(to));
  to.sin_family = AF_INET;
  to.sin_port = htons(137);
  to.sin_addr.s_addr = Address(192, 0, 2, 1);
  ASSERT_EQ(
      sendto(querier, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
      static_cast<ssize_t>(query.size()));
  const std::vector<uint8_t> answer = testing::ReceiveDatagram(querier, 5000);
  close(querier);

  std::vector<uint8_t> expected = testing::KestovAAnswerMessage();
  const uint8_t announced[] = {192, 0, 2, 1};
  std::memcpy(expected.data() + 58, announced, 4);
  EXPECT_EQ(answer, expected);
  EXPECT_FALSE(answering.Failed());
}

INSTANTIATE_TEST_SUITE_P(Methods, NameAnsweringNetworkTest,
                         ::testing::Values(CaptureMethod::kPacket, CaptureMethod::kSocket),
                         [](const ::testing::TestParamInfo<CaptureMethod>& param) {
                           return std::string(CaptureMethodName(param.param));
                         });

TEST_F(NameAnsweringNetworkTest, AutoTakesPacketCaptureWhenPermitted) {
  CNameAnswering answering;
  std::string message;
  ASSERT_TRUE(answering.Start(CaptureMethod::kAuto, "lo", &message)) << message;
  EXPECT_EQ(answering.Running(), CaptureMethod::kPacket) << message;
  EXPECT_NE(message.find("on lo"), std::string::npos) << message;
}

TEST_F(NameAnsweringNetworkTest, RequestedMethodThatCannotStartIsAFailure) {
  CNameAnswering answering;
  std::string message;
  EXPECT_FALSE(answering.Start(CaptureMethod::kPacket, "nosuchif0", &message));
  EXPECT_NE(message.find("nosuchif0"), std::string::npos) << message;
  EXPECT_FALSE(answering.Start(CaptureMethod::kSocket, "nosuchif0", &message));
  EXPECT_EQ(answering.Running(), CaptureMethod::kNone);
  // auto goes on without name answering, and says so.
  EXPECT_TRUE(answering.Start(CaptureMethod::kAuto, "nosuchif0", &message));
  EXPECT_EQ(answering.Running(), CaptureMethod::kNone);
  EXPECT_NE(message.find("off"), std::string::npos) << message;
}

}  // namespace
}  // namespace kestova
