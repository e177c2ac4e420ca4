// CStatusServer of a kestov-a built without cpp-httplib for its architecture (see
// linux/CMakeLists.txt): every Start fails and says why.
#include "linux/status/status_server.h"

namespace kestova {

class CHttpServer {};

CStatusServer::CStatusServer(const CReceptionBoard& board, const CServiceStatus& service,
                             std::string programVersion)
    : board_(board), service_(service), programVersion_(std::move(programVersion)) {}

CStatusServer::~CStatusServer() = default;

bool CStatusServer::Available() { return false; }

bool CStatusServer::Start(const std::string&, uint16_t, std::string* error) {
  static_cast<void>(board_);  // kept for the real body's sake
  static_cast<void>(service_);
  *error =
      "this kestov-a was built without the status page (no cpp-httplib for its "
      "architecture)";
  return false;
}

void CStatusServer::Stop() {}

uint16_t CStatusServer::Port() const { return 0; }

void CStatusServer::AddRoutes() {}

}  // namespace kestova
