// CStatusServer: the status page's small read-only HTTP server (cpp-httplib, through
// IHttpServer, loaded from its module on the first Start).
//
// Routes (GET and HEAD only):
//   /                 the page, in the browser's language (Accept-Language)
//   /status.js        its script;  /status.css  its style sheet
//   /api/status       the service, the folder with its free space and the receptions (JSON)
//   /api/receptions   the receptions alone (JSON)
// Everything else gets a 4xx status and a one-line plain text: a Host header that does not
// name this machine (an address of it, localhost, its host name, or the configured address
// when that is a name) 403, another method 405, a request target longer than
// kMaxTargetLength 414, a target holding ".." or a NUL 400, an unknown path 404. No route
// reads a file or takes a path from the request.
//
// Bounded whatever clients do: at most kMaxConnections connections at once (one more gets
// 503 and is closed, so the page holds few descriptors), each for kConnectionSeconds at
// most, kIoSeconds for any read or write, kMaxRequestBytes sent in all; no answer longer
// than kMaxBodyBytes (500 instead); Range requests are answered with the whole body.
//
// Start binds the address and port on the calling thread (so a failure is told at once)
// and serves on a thread of its own until Stop or destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "linux/status/reception_board.h"
#include "linux/status/service_status.h"

namespace kestova {

class IHttpServer;

class CStatusServer {
 public:
  static constexpr size_t kMaxTargetLength = 2048;
  static constexpr size_t kMaxConnections = 16;
  static constexpr int kConnectionSeconds = 10;
  static constexpr int kIoSeconds = 5;
  static constexpr size_t kMaxRequestBytes = 64 * 1024;
  // Far above the page's largest answer (the JSON of the board's records).
  static constexpr size_t kMaxBodyBytes = 4 * 1024 * 1024;

  CStatusServer(const CReceptionBoard& board, const CServiceStatus& service,
                std::string programVersion);
  ~CStatusServer();  // stops
  CStatusServer(const CStatusServer&) = delete;
  CStatusServer& operator=(const CStatusServer&) = delete;

  // Binds `address` (an IPv4 or IPv6 address or a host name; "0.0.0.0" = every IPv4
  // address) and `port` (0 = any free port) and starts serving. False with a one-line
  // reason in *error when the address cannot be bound.
  bool Start(const std::string& address, uint16_t port, std::string* error);
  void Stop();

  // False with the reason in *reason when the HTTP module cannot be loaded (a build without
  // cpp-httplib has none, see linux/CMakeLists.txt): Start would fail.
  static bool Available(std::string* reason);

  // The bound port; 0 before Start.
  uint16_t Port() const;

 private:
  void AddRoutes();

  const CReceptionBoard& board_;
  const CServiceStatus& service_;
  const std::string programVersion_;
  std::unique_ptr<IHttpServer> http_;
};

}  // namespace kestova
