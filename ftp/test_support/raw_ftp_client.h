// A raw FTP client for tests: sends exact bytes on a control connection and reads
// replies line by line, every wait bounded by a deadline. Loopback only.
#pragma once

#include <cstdint>
#include <string>

#include "net/event_socket.h"

namespace kestova {
namespace testing {

class CRawFtpClient {
 public:
  CRawFtpClient() = default;
  ~CRawFtpClient();
  CRawFtpClient(const CRawFtpClient&) = delete;
  CRawFtpClient& operator=(const CRawFtpClient&) = delete;

  // Connects to 127.0.0.1:port.
  bool Connect(uint16_t port);
  // Connect, read the greeting (waiting up to `greetingTimeoutMs`), USER and PASS;
  // true when both were accepted.
  bool ConnectAndLogin(uint16_t port, const char* user = "anonymous", int greetingTimeoutMs = 5000);
  void Close();

  // Sends `bytes` exactly as given.
  bool SendRaw(const std::string& bytes);
  // Reads one reply line without its CR LF; "" when none arrived within `timeoutMs`
  // or the connection ended.
  std::string ReadLine(int timeoutMs = 5000);
  // Reads a whole reply: for a multi-line reply ("xyz-...") every line up to and
  // including "xyz ...", joined with CR LF.
  std::string ReadReply(int timeoutMs = 5000);
  // Sends `line` + CR LF and reads the reply.
  std::string Command(const std::string& line, int timeoutMs = 5000);
  // True when the server closed the connection within `timeoutMs` (nothing more came).
  bool WaitForClose(int timeoutMs = 5000);

  // PASV (or EPSV: `command`), then connects `data` to the announced address (EPSV:
  // 127.0.0.1 and the announced port); returns the 227 or 229 reply, or "" when the reply
  // or the connection failed.
  std::string OpenPassive(CEventSocket* data, const char* command = "PASV");
  // A listening socket on 127.0.0.1 and a matching PORT command (sent); returns the reply.
  std::string OpenActive(CEventSocket* listener);

  CEventSocket& Socket() { return socket_; }

 private:
  CEventSocket socket_;
  std::string pending_;
};

// Reads from `socket` until the peer closes it (or `timeoutMs` passes); the bytes read.
std::string ReceiveAll(CEventSocket& socket, int timeoutMs = 10000);
// Sends all bytes; true on success.
bool SendAll(CEventSocket& socket, const std::string& bytes);
// Closes with a reset (SO_LINGER 0) rather than an orderly end, as a client that aborts does.
void ResetConnection(CEventSocket& socket);
// Parses "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)." into address text and port.
bool ParsePassiveReply(const std::string& reply, std::string* address, uint16_t* port);

}  // namespace testing
}  // namespace kestova
