// The status page's HTTP server over cpp-httplib: the body of kestov-a-http.so, the one
// file that includes httplib.h (see http_server.h).
#include "linux/status/http_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include "linux/status/http_connections.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace kestova {
namespace {

using httplib::Request;
using httplib::Response;

const char* ReasonOf(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    default:
      return status >= 500 ? "Server Error" : "Request Refused";
  }
}

// Refuses what no route may see, before routing: a Host not allowed (another name that
// resolves here, as DNS rebinding makes), then only GET and HEAD, a short target, no ".."
// (also percent-encoded) and no NUL anywhere in it.
bool Refuse(const Request& request, Response& response, const HttpServerLimits& limits) {
  if (limits.hostAllowed && !limits.hostAllowed(request.get_header_value("Host"))) {
    response.status = 403;
    return true;
  }
  const size_t maxTargetLength = limits.maxTargetLength;
  if (request.method != "GET" && request.method != "HEAD") {
    response.status = 405;
    response.set_header("Allow", "GET, HEAD");
    return true;
  }
  if (request.target.size() > maxTargetLength) {
    response.status = 414;
    return true;
  }
  std::string lowered = request.target;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* bad : {"..", "%2e%2e", ".%2e", "%2e.", "%00", "%5c", "\\"}) {
    if (lowered.find(bad) != std::string::npos) {
      response.status = 400;
      return true;
    }
  }
  if (request.path.find('\0') != std::string::npos) {
    response.status = 400;
    return true;
  }
  return false;
}

class CHttpServer final : public IHttpServer {
 public:
  explicit CHttpServer(HttpServerLimits limits) : limits_(std::move(limits)) {}
  ~CHttpServer() override { Stop(); }
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  void Get(const std::string& path, HttpRoute route) override {
    routes_.emplace_back(path, std::move(route));
  }
  bool Start(const std::string& address, uint16_t port, std::string* error) override;
  void Stop() override;
  uint16_t Port() const override { return port_; }

 private:
  struct Serving {
    explicit Serving(const HttpConnectionLimits& limits) : server(limits) {}
    CBoundedHttpServer server;
    std::thread thread;
  };
  const HttpServerLimits limits_;
  std::vector<std::pair<std::string, HttpRoute>> routes_;
  std::unique_ptr<Serving> serving_;
  uint16_t port_ = 0;
};

bool CHttpServer::Start(const std::string& address, uint16_t port, std::string* error) {
  Stop();
  HttpConnectionLimits connections;
  connections.maxConnections = limits_.maxConnections;
  connections.connectionSeconds = limits_.connectionSeconds;
  connections.ioSeconds = limits_.ioSeconds;
  connections.maxRequestBytes = limits_.maxRequestBytes;
  serving_.reset(new Serving(connections));
  CBoundedHttpServer& server = serving_->server;
  server.set_payload_max_length(1024);
  server.set_keep_alive_max_count(20);
  server.set_keep_alive_timeout(2);
  // SO_REUSEADDR only: cpp-httplib's default also sets SO_REUSEPORT, which would let a
  // second process share (and take requests from) a port this server holds.
  server.set_socket_options([](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  server.set_default_headers(
      httplib::Headers(limits_.everyAnswer.begin(), limits_.everyAnswer.end()));
  const HttpServerLimits* limits = &limits_;
  server.set_pre_routing_handler([limits](const Request& request, Response& response) {
    return Refuse(request, response, *limits) ? httplib::Server::HandlerResponse::Handled
                                              : httplib::Server::HandlerResponse::Unhandled;
  });
  // Every 4xx/5xx, also those cpp-httplib answers itself, carries one line of text.
  server.set_error_handler([](const Request&, Response& response) {
    response.set_content(std::to_string(response.status) + " " + ReasonOf(response.status) + "\n",
                         "text/plain; charset=utf-8");
  });
  const size_t maxBodyBytes = limits_.maxBodyBytes;
  for (const auto& route : routes_) {
    const HttpRoute answer = route.second;
    server.Get(route.first, [answer, maxBodyBytes](const Request& request, Response& response) {
      HttpAnswer reply =
          answer([&request](const char* name) { return request.get_header_value(name); });
      if (reply.body.size() > maxBodyBytes) {
        response.status = 500;  // the error handler gives it its line
        return;
      }
      for (const auto& header : reply.headers) response.set_header(header.first, header.second);
      response.set_header("Accept-Ranges", "none");
      response.set_content(reply.body, reply.contentType.c_str());
    });
  }

  int bound = 0;
  errno = 0;
  if (port == 0) {
    bound = server.bind_to_any_port(address);
  } else {
    bound = server.bind_to_port(address, port) ? port : -1;
  }
  if (bound <= 0) {
    *error = errno != 0 ? std::strerror(errno) : std::string();
    serving_.reset();
    return false;
  }
  port_ = static_cast<uint16_t>(bound);
  serving_->thread = std::thread([&server] { server.listen_after_bind(); });
  // cpp-httplib's stop() does nothing before the server runs, so Stop could never end
  // a server started just before it: wait (briefly) until it runs.
  for (int i = 0; i < 500 && !server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void CHttpServer::Stop() {
  if (serving_ != nullptr) {
    serving_->server.EndConnections();
    serving_->server.stop();
    if (serving_->thread.joinable()) serving_->thread.join();
  }
  serving_.reset();
  port_ = 0;
}

}  // namespace
}  // namespace kestova

// Exceptions stay inside the module: a failure to build the server is a null result.
extern "C" __attribute__((visibility("default"))) kestova::IHttpServer* kestova_create_http_server(
    const kestova::HttpServerLimits& limits) {
  try {
    return new kestova::CHttpServer(limits);
  } catch (...) {
    return nullptr;
  }
}
