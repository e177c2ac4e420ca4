#include "ftp/test_support/test_ftp_server.h"

#include "net/host.h"
#include "platform/time.h"

namespace kestova {
namespace testing {

CTestFtpServer::CTestFtpServer(IFtpSessionFactory* factory) {
  static const bool socketsReady = StartSocketLibrary();  // Winsock, once per process
  (void)socketsReady;
  service_.SetListenPort(0);
  service_.SetActiveSourcePort(0);
  service_.SetServedFolder(folder_.Path());
  service_.SetSessionFactory(factory);
  if (!service_.StartListener()) return;
  const uint32_t start = TickCountMs();
  while (service_.GetListenerState() == CFtpService::kStarting && TickCountMs() - start < 10000) {
    SleepMs(5);
  }
  port_ = service_.ListeningPort();
}

CTestFtpServer::~CTestFtpServer() { Stop(); }

bool CTestFtpServer::Stop() {
  service_.RequestStop();
  return service_.WaitUntilIdle(30000);
}

}  // namespace testing
}  // namespace kestova
