#include "linux/status/status_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "linux/status/folder_space.h"
#include "linux/status/status_json.h"
#include "linux/status/status_page.h"

namespace kestova {
namespace {

using httplib::Request;
using httplib::Response;

const char kJsonType[] = "application/json; charset=utf-8";

const char* ReasonOf(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
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

// Refuses what no route may see, before routing: only GET and HEAD, a short target, no
// ".." (also percent-encoded) and no NUL anywhere in it.
bool Refuse(const Request& request, Response& response) {
  if (request.method != "GET" && request.method != "HEAD") {
    response.status = 405;
    response.set_header("Allow", "GET, HEAD");
    return true;
  }
  if (request.target.size() > CStatusServer::kMaxTargetLength) {
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

void NoStore(Response& response) { response.set_header("Cache-Control", "no-store"); }

}  // namespace

CStatusServer::CStatusServer(const CReceptionBoard& board, const CServiceStatus& service,
                             std::string programVersion)
    : board_(board), service_(service), programVersion_(std::move(programVersion)) {}

CStatusServer::~CStatusServer() { Stop(); }

bool CStatusServer::Available() { return true; }

void CStatusServer::AddRoutes() {
  httplib::Server& server = *server_;
  server.set_default_headers({
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
       "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
  });
  server.set_pre_routing_handler([](const Request& request, Response& response) {
    return Refuse(request, response) ? httplib::Server::HandlerResponse::Handled
                                     : httplib::Server::HandlerResponse::Unhandled;
  });
  // Every 4xx/5xx, also those cpp-httplib answers itself, carries one line of text.
  server.set_error_handler([](const Request&, Response& response) {
    response.set_content(std::to_string(response.status) + " " + ReasonOf(response.status) + "\n",
                         "text/plain; charset=utf-8");
  });

  server.Get("/", [](const Request& request, Response& response) {
    const PageLanguage language =
        LanguageFromAcceptLanguage(request.get_header_value("Accept-Language"));
    NoStore(response);
    response.set_header("Vary", "Accept-Language");
    response.set_header("Content-Language", language == PageLanguage::kJapanese ? "ja" : "en");
    response.set_content(StatusPageHtml(language), "text/html; charset=utf-8");
  });
  server.Get("/status.js", [](const Request&, Response& response) {
    NoStore(response);
    response.set_content(StatusPageScript(), "text/javascript; charset=utf-8");
  });
  server.Get("/status.css", [](const Request&, Response& response) {
    NoStore(response);
    response.set_content(StatusPageStyle(), "text/css; charset=utf-8");
  });
  server.Get("/api/receptions", [this](const Request&, Response& response) {
    uint64_t version = 0;
    const std::vector<BoardRecord> records = board_.Snapshot(&version);
    NoStore(response);
    response.set_content(ReceptionsJson(records, version), kJsonType);
  });
  server.Get("/api/status", [this](const Request&, Response& response) {
    uint64_t version = 0;
    const std::vector<BoardRecord> records = board_.Snapshot(&version);
    const ServiceView service = service_.Snapshot();
    NoStore(response);
    response.set_content(
        StatusJson(records, version, service, SpaceOfFolder(service.folder), programVersion_),
        kJsonType);
  });
}

bool CStatusServer::Start(const std::string& address, uint16_t port, std::string* error) {
  Stop();
  server_.reset(new httplib::Server());
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  server_->set_payload_max_length(1024);
  server_->set_read_timeout(5, 0);
  server_->set_write_timeout(5, 0);
  server_->set_keep_alive_max_count(20);
  server_->set_keep_alive_timeout(2);
  // SO_REUSEADDR only: cpp-httplib's default also sets SO_REUSEPORT, which would let a
  // second process share (and take requests from) a port this page holds.
  server_->set_socket_options([](int socket) {
    int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  AddRoutes();
  int bound = 0;
  errno = 0;
  if (port == 0) {
    bound = server_->bind_to_any_port(address);
  } else {
    bound = server_->bind_to_port(address, port) ? port : -1;
  }
  if (bound <= 0) {
    *error = "cannot listen on " + address + " port " + std::to_string(port) +
             (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
    server_.reset();
    return false;
  }
  port_ = static_cast<uint16_t>(bound);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // cpp-httplib's stop() does nothing before the server runs, so Stop could never end
  // a server started just before it: wait (briefly) until it runs.
  for (int i = 0; i < 500 && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void CStatusServer::Stop() {
  if (server_ != nullptr) server_->stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
  port_ = 0;
}

}  // namespace kestova
