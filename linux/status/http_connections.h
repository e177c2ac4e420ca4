// Inside kestov-a-http.so only: the page's connections, bounded (with httplib.h, so only
// the module's files may include this header).
//
// CBoundedHttpServer is cpp-httplib's server with its connection handling replaced:
// - at most `maxConnections` connections are served at once, each on a worker of a pool of
//   that size; a connection beyond them is answered 503 at once and closed, so a flood of
//   page connections holds at most that many descriptors;
// - each connection lives at most `connectionSeconds` from its accept, waits at most
//   `ioSeconds` for any read or write, and may send at most `maxRequestBytes` in all, so a
//   slow or endless client cannot keep a worker or grow the request;
// - Range requests are not honoured: the header is dropped before routing, every answer is
//   the whole (bounded) body.
// Stop ends the connections being served at once (their sockets are shut down).
#pragma once

#include <httplib.h>

#include <cstddef>
#include <mutex>
#include <set>

namespace kestova {

struct HttpConnectionLimits {
  size_t maxConnections = 16;
  int connectionSeconds = 10;
  int ioSeconds = 5;
  size_t maxRequestBytes = 64 * 1024;
};

class CBoundedHttpServer final : public httplib::Server {
 public:
  explicit CBoundedHttpServer(const HttpConnectionLimits& limits);
  // Shuts down every connection being served (the workers then end quickly); call before
  // stop().
  void EndConnections();

 private:
  bool process_and_close_socket(socket_t sock) override;
  void Serve(socket_t sock);

  const HttpConnectionLimits limits_;
  std::mutex mutex_;
  std::set<socket_t> serving_;
};

}  // namespace kestova
