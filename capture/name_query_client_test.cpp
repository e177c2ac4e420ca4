#include "capture/name_query_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "capture/name_responder.h"
#include "capture/name_service_frame.h"
#include "capture/test_support/name_query_frames.h"
#include "net/event_socket.h"
#include "net/host.h"
#include "platform/time.h"

namespace kestova {
namespace {

using testing::Address;

const uint32_t kLoopback = Address(127, 0, 0, 1);

// A name service on a loopback port: every datagram is wrapped into a frame (as the socket
// capture does) and judged by the real responder, whose answer goes back to the port the query
// came from. Before answering it sends the querier two datagrams it must skip.
class CLoopbackNameService {
 public:
  CLoopbackNameService() {
    EXPECT_TRUE(socket_.Create(CEventSocket::kDatagram, 0, 200));
    uint32_t address = 0;
    EXPECT_TRUE(socket_.GetLocalAddress(&address, &port_));
    thread_ = std::thread([this] { Serve(); });
  }
  ~CLoopbackNameService() {
    stop_ = true;
    thread_.join();
    socket_.Close();
  }
  uint16_t Port() const { return port_; }
  int Queries() const { return queries_.load(); }

 private:
  class CReplyTransport : public IAnswerTransport {
   public:
    CReplyTransport(CEventSocket& socket, uint16_t port) : socket_(socket), port_(port) {}
    uint32_t AddressToAnnounce(uint32_t) override { return Address(192, 0, 2, 7); }
    bool SendToNameService(uint32_t querier, const uint8_t* message, uint32_t length,
                           SystemError*) override {
      std::vector<uint8_t> otherTransaction(message, message + length);
      otherTransaction[1] ^= 0xFF;
      socket_.SendTo(querier, port_, otherTransaction.data(), length);
      socket_.SendTo(querier, port_, "noise", 5);
      return socket_.SendTo(querier, port_, message, length);
    }

   private:
    CEventSocket& socket_;
    uint16_t port_;
  };

  void Serve() {
    for (int i = 0; i < 500 && !stop_; ++i) {  // at most 500 x 200 ms
      uint8_t datagram[1500];
      uint32_t received = 0;
      UdpDatagramAddresses addresses;
      if (!socket_.ReceiveFrom(datagram, sizeof(datagram), &received, &addresses.sourceAddress,
                               &addresses.sourcePort) ||
          received == 0) {
        continue;
      }
      ++queries_;
      addresses.destinationPort = port_;
      uint8_t frame[1600];
      const size_t length = BuildUdpFrame(addresses, datagram, received, frame, sizeof(frame));
      CReplyTransport transport(socket_, addresses.sourcePort);
      CNameResponder(transport).HandleFrame(frame, length);
    }
  }

  CEventSocket socket_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> queries_{0};
  std::thread thread_;
};

class NameQueryClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartSocketLibrary()); }
};

TEST_F(NameQueryClientTest, AnswerOfTheNameServiceGivesTheAddress) {
  CLoopbackNameService service;
  NameQueryOptions options;
  options.name = "GR-TEST";
  options.broadcastAddress = kLoopback;
  options.localPort = 0;
  options.serverPort = service.Port();
  options.timeoutMs = 10000;
  uint32_t address = 0;
  EXPECT_EQ(QueryNameAddress(options, &address), NameQueryResult::kAnswered);
  EXPECT_EQ(address, Address(192, 0, 2, 7));
}

TEST_F(NameQueryClientTest, NoAnswerForANameTheServiceDoesNotServe) {
  CLoopbackNameService service;
  NameQueryOptions options;
  options.name = "WORKGROUP";
  options.broadcastAddress = kLoopback;
  options.localPort = 0;
  options.serverPort = service.Port();
  options.timeoutMs = 700;
  options.repeatMs = 300;
  uint32_t address = 0;
  EXPECT_EQ(QueryNameAddress(options, &address), NameQueryResult::kNoAnswer);
  // The query was repeated while no answer came.
  const uint32_t deadline = TickCountMs() + 5000;
  while (service.Queries() < 2 && TickCountMs() - deadline > 0x7FFFFFFFu) SleepMs(10);
  EXPECT_GE(service.Queries(), 2);
}

}  // namespace
}  // namespace kestova
