#include "linux/reception_watch.h"

namespace kestova {

void CReceptionWatch::OnReception(const BoardRecord& record) {
  BoardRecord stored;
  if (board_.Apply(record, &stored)) hook_.Run(stored);
}

bool CReceptionWatch::StartPage(const std::string& address, uint16_t port,
                                const std::string& programVersion, std::string* error) {
  server_.reset(new CStatusServer(board_, service_, programVersion));
  if (server_->Start(address, port, error)) return true;
  server_.reset();
  return false;
}

void CReceptionWatch::StopPage() { server_.reset(); }

}  // namespace kestova
