#include "linux/status/status_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "linux/status/http_server_module.h"

namespace kestova {
namespace {

// True once `reply` holds a whole response (headers and Content-Length bytes).
bool Complete(const std::string& reply) {
  const size_t end = reply.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  const size_t length = reply.find("Content-Length: ");
  if (length == std::string::npos || length > end) return true;
  return reply.size() - end - 4 >= std::stoul(reply.substr(length + 16));
}

// Sends `request` as it stands to 127.0.0.1:port and returns the response, or what came
// back before the server closed, 64 KiB or 5 s, whichever first.
std::string RawExchange(uint16_t port, const std::string& request) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (reply.size() < 65536 && !Complete(reply) &&
           std::chrono::steady_clock::now() < deadline) {
      pollfd ready = {fd, POLLIN, 0};
      if (poll(&ready, 1, 200) <= 0) continue;
      char buffer[4096];
      const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
      if (got <= 0) break;
      reply.append(buffer, static_cast<size_t>(got));
    }
  }
  close(fd);
  return reply;
}

std::string Get(uint16_t port, const std::string& target, const std::string& headers = "") {
  return RawExchange(
      port,
      "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n" + headers + "\r\n");
}

int StatusOf(const std::string& reply) {
  return reply.size() > 12 && reply.compare(0, 5, "HTTP/") == 0 ? std::atoi(reply.c_str() + 9) : 0;
}

std::string BodyOf(const std::string& reply) {
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

class StatusServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BoardRecord received;
    received.id = 7;
    received.state = BoardState::kReceived;
    received.fileName = "ニュース：夜.MPG";
    received.path = "/srv/rec/ニュース：夜.MPG";
    received.receivedBytes = 3 * 1048576 + 77;
    received.announcedBytes = 3 * 1048576 + 77;
    received.elapsedSeconds = 4;
    received.rateKiBPerSecond = 768;
    received.remainingKnown = true;
    received.percentageKnown = true;
    received.percentage = 100.0;
    board_.Apply(received);
    BoardRecord interrupted;
    interrupted.id = 8;
    interrupted.state = BoardState::kInterrupted;
    interrupted.fileName = std::string("bad\xff") + "name.MPG";  // not UTF-8
    interrupted.receivedBytes = 1000;
    board_.Apply(interrupted);
    BoardRecord refused;
    refused.id = 9;
    refused.state = BoardState::kCreateFailed;
    refused.path = "/srv/rec/TITLE.MPG";
    refused.reason = "Read-only file system";
    board_.Apply(refused);
    service_.SetFolder("/srv/rec", false);
    std::string error;
    ASSERT_TRUE(server_.Start("127.0.0.1", 0, &error)) << error;
    port_ = server_.Port();
  }

  CReceptionBoard board_;
  CServiceStatus service_;
  CStatusServer server_{board_, service_, "1.0.0"};
  uint16_t port_ = 0;
};

TEST_F(StatusServerTest, ReceptionsAreValidJsonMatchingTheBoard) {
  const std::string reply = Get(port_, "/api/receptions");
  ASSERT_EQ(StatusOf(reply), 200) << reply;
  const nlohmann::json json = nlohmann::json::parse(BodyOf(reply));  // throws when invalid
  const auto& list = json.at("receptions");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]["id"], 7);
  EXPECT_EQ(list[0]["state"], "received");
  EXPECT_EQ(list[0]["fileName"], "ニュース：夜.MPG");
  EXPECT_EQ(list[0]["receivedBytes"], 3 * 1048576 + 77);
  EXPECT_EQ(list[0]["percentage"], 100.0);
  EXPECT_FALSE(list[0]["endedAt"].is_null());
  EXPECT_EQ(list[1]["state"], "interrupted");
  EXPECT_EQ(list[1]["fileName"], "bad\xEF\xBF\xBDname.MPG");  // U+FFFD for the bad byte
  EXPECT_TRUE(list[1]["announcedBytes"].is_null());
  EXPECT_TRUE(list[1]["percentage"].is_null());
  EXPECT_TRUE(list[1]["reason"].is_null());
  EXPECT_EQ(list[2]["state"], "create-failed");
  EXPECT_EQ(list[2]["reason"], "Read-only file system");

  const nlohmann::json status = nlohmann::json::parse(BodyOf(Get(port_, "/api/status")));
  EXPECT_EQ(status["service"]["folder"], "/srv/rec");
  EXPECT_EQ(status["service"]["folderWritable"], false);
  EXPECT_EQ(status["receptions"], json["receptions"]);
}

TEST_F(StatusServerTest, PageLanguageFollowsTheBrowser) {
  const struct {
    const char* header;
    const char* lang;
  } kCases[] = {{"Accept-Language: ja-JP,ja;q=0.9,en;q=0.8\r\n", "lang=\"ja\""},
                {"Accept-Language: en-US,en;q=0.9,ja;q=0.5\r\n", "lang=\"en\""},
                {"", "lang=\"en\""}};
  for (const auto& c : kCases) {
    const std::string reply = Get(port_, "/", c.header);
    EXPECT_EQ(StatusOf(reply), 200);
    EXPECT_NE(BodyOf(reply).find(c.lang), std::string::npos) << c.header;
  }
  EXPECT_EQ(StatusOf(Get(port_, "/status.js")), 200);
  EXPECT_EQ(StatusOf(Get(port_, "/status.css")), 200);
}

TEST_F(StatusServerTest, BadRequestsGetA4xxAndOneLineOfText) {
  const std::string longTarget = "/" + std::string(CStatusServer::kMaxTargetLength + 10, 'a');
  const std::string huge = "/" + std::string(20000, 'a');
  const struct {
    std::string request;
    int status;
  } kCases[] = {
      {"POST /api/receptions HTTP/1.1\r\nHost: localhost\r\nContent-Length: 2\r\n\r\n{}", 405},
      {"PUT / HTTP/1.1\r\nHost: localhost\r\nContent-Length: 0\r\n\r\n", 405},
      {"DELETE /api/status HTTP/1.1\r\nHost: localhost\r\n\r\n", 405},
      {"OPTIONS / HTTP/1.1\r\nHost: localhost\r\n\r\n", 405},
      {"GET " + longTarget + " HTTP/1.1\r\nHost: localhost\r\n\r\n", 414},
      {"GET " + huge + " HTTP/1.1\r\nHost: localhost\r\n\r\n", 414},
      {"GET /../../etc/passwd HTTP/1.1\r\nHost: localhost\r\n\r\n", 400},
      {"GET /%2e%2e/%2E%2E/etc/passwd HTTP/1.1\r\nHost: localhost\r\n\r\n", 400},
      {"GET /api/..%2fstatus HTTP/1.1\r\nHost: localhost\r\n\r\n", 400},
      {"GET /status.js%00.html HTTP/1.1\r\nHost: localhost\r\n\r\n", 400},
      {"GET /srv/rec/x.MPG HTTP/1.1\r\nHost: localhost\r\n\r\n", 404},
      {"GET /api/receptions/7 HTTP/1.1\r\nHost: localhost\r\n\r\n", 404},
      {"GET /index.html HTTP/1.1\r\nHost: localhost\r\n\r\n", 404},
      {"BREW / HTTP/1.1\r\nHost: localhost\r\n\r\n", 400},
      {"garbage\r\n\r\n", 400},
      {"GET /api/status HTTP/1.1\r\nHost: evil.example\r\n\r\n", 403},
      {"GET /api/status HTTP/1.1\r\nHost: 127.0.0.1.evil.example:80\r\n\r\n", 403},
      {"GET /api/status HTTP/1.0\r\n\r\n", 403},
  };
  for (const auto& c : kCases) {
    const std::string reply = RawExchange(port_, c.request);
    const std::string shown = c.request.substr(0, 60);
    EXPECT_EQ(StatusOf(reply), c.status) << shown << "\n" << reply.substr(0, 200);
    const std::string body = BodyOf(reply);
    EXPECT_LT(body.size(), 40u) << shown;
    EXPECT_EQ(body.find('{'), std::string::npos) << shown;  // no JSON
    EXPECT_EQ(body.find('<'), std::string::npos) << shown;  // no page
  }
}

// The module's server with small bounds: two connections, a 100-byte answer at most.
std::unique_ptr<IHttpServer> SmallServer() {
  HttpServerLimits limits;
  limits.maxTargetLength = 100;
  limits.maxBodyBytes = 100;
  limits.maxConnections = 2;
  limits.maxRequestBytes = 4096;
  std::string error;
  std::unique_ptr<IHttpServer> http = CreateHttpServer(limits, &error);
  EXPECT_NE(http, nullptr) << error;
  if (http == nullptr) return http;
  http->Get("/short", [](const std::function<std::string(const char*)>&) {
    return HttpAnswer{std::string(100, 's'), "text/plain", {}};
  });
  http->Get("/long", [](const std::function<std::string(const char*)>&) {
    return HttpAnswer{std::string(101, 'l'), "text/plain", {}};
  });
  EXPECT_TRUE(http->Start("127.0.0.1", 0, &error)) << error;
  return http;
}

TEST(HttpServerBoundsTest, LongAnswersAre500AndRangesAreNotHonoured) {
  std::unique_ptr<IHttpServer> http = SmallServer();
  ASSERT_NE(http, nullptr);
  EXPECT_EQ(StatusOf(RawExchange(http->Port(), "GET /long HTTP/1.1\r\nHost: x\r\n\r\n")), 500);
  const std::string ranged =
      RawExchange(http->Port(), "GET /short HTTP/1.1\r\nHost: x\r\nRange: bytes=0-9,0-\r\n\r\n");
  EXPECT_EQ(StatusOf(ranged), 200);
  EXPECT_EQ(BodyOf(ranged), std::string(100, 's'));
}

TEST(HttpServerBoundsTest, AConnectionBeyondTheCapGets503AtOnce) {
  std::unique_ptr<IHttpServer> http = SmallServer();
  ASSERT_NE(http, nullptr);
  // Two idle connections take both places (queued or served, they count at once).
  std::vector<int> idle;
  for (int i = 0; i < 2; ++i) {
    idle.push_back(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(http->Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(idle.back(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  }
  EXPECT_EQ(StatusOf(RawExchange(http->Port(), "GET /short HTTP/1.1\r\nHost: x\r\n\r\n")), 503);
  for (int fd : idle) close(fd);
}

TEST(StatusServerStartTest, AnAddressInUseIsRefusedWithAReason) {
  CReceptionBoard board;
  CServiceStatus service;
  CStatusServer first(board, service, "1");
  CStatusServer second(board, service, "1");
  std::string error;
  ASSERT_TRUE(first.Start("127.0.0.1", 0, &error)) << error;
  EXPECT_FALSE(second.Start("127.0.0.1", first.Port(), &error));
  EXPECT_NE(error.find(std::to_string(first.Port())), std::string::npos) << error;
  EXPECT_FALSE(second.Start("no-such-host.invalid", 0, &error));
}

}  // namespace
}  // namespace kestova
