// An in-process FTP service on a free loopback port, serving a scratch folder; the
// destructor stops it and waits for the listener and every session to end.
#pragma once

#include <cstdint>

#include "ftp/ftp_service.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace testing {

class CTestFtpServer {
 public:
  // Starts the listener on port 0 (active-mode source port: any) and waits until it
  // listens. `factory` (kept by the caller) replaces the session class when given.
  explicit CTestFtpServer(IFtpSessionFactory* factory = nullptr);
  ~CTestFtpServer();
  CTestFtpServer(const CTestFtpServer&) = delete;
  CTestFtpServer& operator=(const CTestFtpServer&) = delete;

  bool IsListening() const { return port_ != 0; }
  uint16_t Port() const { return port_; }
  CFtpService& Service() { return service_; }
  const CScratchFolder& Folder() const { return folder_; }
  // Sets the stop flag and waits (bounded) for every thread to end; true when idle.
  bool Stop();

 private:
  CScratchFolder folder_;
  CFtpService service_;
  uint16_t port_ = 0;
};

}  // namespace testing
}  // namespace kestova
