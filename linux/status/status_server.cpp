#include "linux/status/status_server.h"

#include "linux/status/folder_space.h"
#include "linux/status/http_server_module.h"
#include "linux/status/page_host.h"
#include "linux/status/status_json.h"
#include "linux/status/status_page.h"
#include "platform/texts.h"

namespace kestova {
namespace {

const char kJsonType[] = "application/json; charset=utf-8";

HttpAnswer NoStore(std::string body, const char* contentType) {
  return HttpAnswer{std::move(body), contentType, {{"Cache-Control", "no-store"}}};
}

}  // namespace

CStatusServer::CStatusServer(const CReceptionBoard& board, const CServiceStatus& service,
                             std::string programVersion)
    : board_(board), service_(service), programVersion_(std::move(programVersion)) {}

CStatusServer::~CStatusServer() { Stop(); }

bool CStatusServer::Available(std::string* reason) { return HttpServerModuleAvailable(reason); }

uint16_t CStatusServer::Port() const { return http_ != nullptr ? http_->Port() : 0; }

void CStatusServer::AddRoutes() {
  IHttpServer& http = *http_;
  http.Get("/", [](const std::function<std::string(const char*)>& header) {
    const PageLanguage language = LanguageFromAcceptLanguage(header("Accept-Language"));
    HttpAnswer answer = NoStore(StatusPageHtml(language), "text/html; charset=utf-8");
    answer.headers.emplace_back("Vary", "Accept-Language");
    answer.headers.emplace_back("Content-Language",
                                language == PageLanguage::kJapanese ? "ja" : "en");
    return answer;
  });
  http.Get("/status.js", [](const std::function<std::string(const char*)>&) {
    return NoStore(StatusPageScript(), "text/javascript; charset=utf-8");
  });
  http.Get("/status.css", [](const std::function<std::string(const char*)>&) {
    return NoStore(StatusPageStyle(), "text/css; charset=utf-8");
  });
  http.Get("/api/receptions", [this](const std::function<std::string(const char*)>&) {
    uint64_t version = 0;
    const std::vector<BoardRecord> records = board_.Snapshot(&version);
    return NoStore(ReceptionsJson(records, version), kJsonType);
  });
  http.Get("/api/status", [this](const std::function<std::string(const char*)>&) {
    uint64_t version = 0;
    const std::vector<BoardRecord> records = board_.Snapshot(&version);
    const ServiceView service = service_.Snapshot();
    return NoStore(
        StatusJson(records, version, service, SpaceOfFolder(service.folder), programVersion_),
        kJsonType);
  });
}

bool CStatusServer::Start(const std::string& address, uint16_t port, std::string* error) {
  Stop();
  HttpServerLimits limits;
  limits.maxTargetLength = kMaxTargetLength;
  limits.maxBodyBytes = kMaxBodyBytes;
  limits.maxConnections = kMaxConnections;
  limits.connectionSeconds = kConnectionSeconds;
  limits.ioSeconds = kIoSeconds;
  limits.maxRequestBytes = kMaxRequestBytes;
  const std::vector<std::string> names = LocalHostNames(address);
  limits.hostAllowed = [names](const std::string& host) {
    return HostHeaderAllowed(host, names, LocalAddressTexts());
  };
  limits.everyAnswer = {
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "no-referrer"},
      {"X-Frame-Options", "DENY"},
      {"Content-Security-Policy",
       "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
       "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
  };
  http_ = CreateHttpServer(limits, error);
  if (http_ == nullptr) return false;
  AddRoutes();
  std::string reason;
  if (!http_->Start(address, port, &reason)) {
    *error =
        Format(T_("cannot listen on %s port %u"), address.c_str(), static_cast<unsigned>(port)) +
        (reason.empty() ? std::string() : ": " + reason);
    http_.reset();
    return false;
  }
  return true;
}

void CStatusServer::Stop() { http_.reset(); }

}  // namespace kestova
