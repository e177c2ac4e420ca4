// IHttpServer: the status page's HTTP server behind an interface of standard types only.
//
// Its body (http_server.cpp, over cpp-httplib) is built as a module of its own,
// kestov-a-http.so, that kestov-a loads only when the status page is asked for
// (http_server_module.h): cpp-httplib brings OpenSSL, zlib and brotli, about 4 MiB of
// resident pages a service without the page should not carry. Across that boundary, and
// because bookworm's armhf cpp-httplib has a 32-bit time_t while kestov-a has a 64-bit one,
// keep time_t, off_t and anything holding them out of this interface.
//
// Serves GET (and HEAD) of the paths given to Get; refuses, before routing, a Host that
// the limits do not allow (403), other methods (405), request targets longer than the
// limit (414) and targets holding "..", its percent encodings, a backslash or a NUL (400);
// an unknown path gets 404; an answer longer than the limit becomes a 500. Range requests
// are not honoured (the whole body is sent). Every 4xx/5xx carries one line of plain text.
// Connections are bounded as http_connections.h says (a connection beyond the cap gets
// 503). Start binds on the calling thread (a failure is told at once) and serves on a
// thread of its own until Stop or destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

struct HttpServerLimits {
  size_t maxTargetLength = 0;
  size_t maxBodyBytes = 0;       // of every answer
  size_t maxConnections = 1;     // served at once, one worker thread each
  int connectionSeconds = 10;    // a connection's whole life
  int ioSeconds = 5;             // any one read or write
  size_t maxRequestBytes = 0;    // all a connection may send
  HttpHeaders everyAnswer;       // sent with every answer
  // The Host header's value ("" when absent) → whether the request may be answered.
  std::function<bool(const std::string&)> hostAllowed;
};

class IHttpServer {
 public:
  virtual ~IHttpServer() = default;  // stops

  virtual void Get(const std::string& path, HttpRoute route) = 0;  // before Start

  // `address` and `port` (0 = any free port); false with the system's reason in *error
  // (empty when it gave none): the caller says what failed, in the run's language.
  virtual bool Start(const std::string& address, uint16_t port, std::string* error) = 0;
  virtual void Stop() = 0;
  virtual uint16_t Port() const = 0;  // 0 before Start
};

using CreateHttpServerFunction = IHttpServer* (*)(const HttpServerLimits& limits);

}  // namespace kestova

// The module's one exported function, looked up by this name; the caller owns (and
// deletes) the server, null when it could not be made.
#define KESTOVA_CREATE_HTTP_SERVER "kestova_create_http_server"
extern "C" kestova::IHttpServer* kestova_create_http_server(const kestova::HttpServerLimits& limits);
