// CHttpServer: cpp-httplib behind an interface of standard types only. It is the one file
// that includes httplib.h, so it alone can be compiled with the ABI Debian built the
// library with (bookworm's armhf cpp-httplib has a 32-bit time_t, the rest of kestov-a a
// 64-bit one; see linux/CMakeLists.txt). Keep time_t, off_t and anything holding them out
// of this interface.
//
// Serves GET (and HEAD) of the paths given to Get; refuses, before routing, other methods
// (405), request targets longer than the limit (414) and targets holding "..", its percent
// encodings, a backslash or a NUL (400); an unknown path gets 404. Every 4xx/5xx carries
// one line of plain text. Start binds on the calling thread (a failure is told at once) and
// serves on a thread of its own until Stop or destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestova {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpAnswer {
  std::string body;
  std::string contentType;
  HttpHeaders headers;
};

// A route's answer; `header` gives a request header's value ("" when absent).
using HttpRoute = std::function<HttpAnswer(const std::function<std::string(const char*)>& header)>;

class CHttpServer {
 public:
  CHttpServer(size_t maxTargetLength, size_t workerThreads, HttpHeaders everyAnswer);
  ~CHttpServer();  // stops
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  void Get(const std::string& path, HttpRoute route);  // before Start

  // `address` and `port` (0 = any free port); false with a one-line reason in *error.
  bool Start(const std::string& address, uint16_t port, std::string* error);
  void Stop();
  uint16_t Port() const { return port_; }

 private:
  struct Serving;
  const size_t maxTargetLength_;
  const size_t workerThreads_;
  const HttpHeaders everyAnswer_;
  std::vector<std::pair<std::string, HttpRoute>> routes_;
  std::unique_ptr<Serving> serving_;
  uint16_t port_ = 0;
};

}  // namespace kestova
