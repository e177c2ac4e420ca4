#include "ftp/test_support/raw_ftp_client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace kestova {
namespace testing {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CRawFtpClient::~CRawFtpClient() { Close(); }

bool CRawFtpClient::Connect(uint16_t port) {
  pending_.clear();
  return socket_.Create(CEventSocket::kStream, 0, 5000) &&
         socket_.ConnectByName("127.0.0.1", port, 5000);
}

bool CRawFtpClient::ConnectAndLogin(uint16_t port, const char* user, int greetingTimeoutMs) {
  if (!Connect(port)) return false;
  if (ReadReply(greetingTimeoutMs).compare(0, 4, "220 ") != 0) return false;
  if (Command(std::string("USER ") + user).compare(0, 4, "331 ") != 0) return false;
  return Command("PASS secret").compare(0, 4, "230 ") == 0;
}

void CRawFtpClient::Close() { socket_.Close(); }

bool CRawFtpClient::SendRaw(const std::string& bytes) {
  return socket_.Send(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr, 5000);
}

std::string CRawFtpClient::ReadLine(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 2);
      return line;
    }
    const int left = MsLeft(deadline);
    if (left == 0) return "";
    char buffer[4096];
    uint32_t received = 0;
    if (!socket_.ReceiveFrom(buffer, sizeof(buffer), &received, nullptr, nullptr, left)) {
      return "";
    }
    pending_.append(buffer, received);
  }
}

std::string CRawFtpClient::ReadReply(int timeoutMs) {
  std::string reply = ReadLine(timeoutMs);
  if (reply.size() < 4 || reply[3] != '-') return reply;
  const std::string closing = reply.substr(0, 3) + " ";
  for (int lines = 0; lines < 1000; ++lines) {
    const std::string line = ReadLine(timeoutMs);
    if (line.empty() && pending_.empty()) return reply;  // cut short
    reply += "\r\n" + line;
    if (line.compare(0, 4, closing) == 0) break;
  }
  return reply;
}

std::string CRawFtpClient::Command(const std::string& line, int timeoutMs) {
  if (!SendRaw(line + "\r\n")) return "";
  return ReadReply(timeoutMs);
}

bool CRawFtpClient::WaitForClose(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (MsLeft(deadline) > 0) {
    char buffer[1024];
    uint32_t received = 0;
    if (!socket_.ReceiveFrom(buffer, sizeof(buffer), &received, nullptr, nullptr,
                             MsLeft(deadline))) {
      return true;
    }
    if (received > 0) pending_.append(buffer, received);
  }
  return false;
}

std::string CRawFtpClient::OpenPassive(CEventSocket* data, const char* command) {
  if (!SendRaw(std::string(command) + "\r\n")) return "";
  const std::string reply = ReadLine();
  std::string address = "127.0.0.1";
  uint16_t port = 0;
  const size_t extended = reply.find("(|||");
  if (reply.compare(0, 4, "229 ") == 0 && extended != std::string::npos) {
    port = static_cast<uint16_t>(std::atoi(reply.c_str() + extended + 4));
  } else if (!ParsePassiveReply(reply, &address, &port)) {
    return "";
  }
  if (!data->Create(CEventSocket::kStream, 0, 10000) ||
      !data->ConnectByName(address.c_str(), port, 5000)) {
    return "";
  }
  return reply;
}

std::string CRawFtpClient::OpenActive(CEventSocket* listener) {
  uint32_t address = 0;
  uint16_t port = 0;
  if (!listener->Create(CEventSocket::kStream, 0, 10000) || !listener->Listen(1) ||
      !listener->GetLocalAddress(&address, &port)) {
    return "";
  }
  char line[64];
  std::snprintf(line, sizeof(line), "PORT 127,0,0,1,%u,%u", port / 256u, port % 256u);
  return Command(line);
}

std::string ReceiveAll(CEventSocket& socket, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string bytes;
  std::string buffer(65536, '\0');
  while (MsLeft(deadline) > 0) {
    uint32_t received = 0;
    if (!socket.ReceiveFrom(&buffer[0], static_cast<uint32_t>(buffer.size()), &received, nullptr,
                            nullptr, MsLeft(deadline))) {
      break;
    }
    bytes.append(buffer.data(), received);
  }
  return bytes;
}

bool SendAll(CEventSocket& socket, const std::string& bytes) {
  return socket.Send(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr, 10000);
}

void ResetConnection(CEventSocket& socket) {
  linger abrupt = {};
  abrupt.l_onoff = 1;
  abrupt.l_linger = 0;
  setsockopt(socket.Handle(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abrupt),
             sizeof(abrupt));
  socket.Close();
}

bool ParsePassiveReply(const std::string& reply, std::string* address, uint16_t* port) {
  const size_t open = reply.find('(');
  if (reply.compare(0, 4, "227 ") != 0 || open == std::string::npos) return false;
  unsigned h[4];
  unsigned p[2];
  if (std::sscanf(reply.c_str() + open, "(%u,%u,%u,%u,%u,%u)", &h[0], &h[1], &h[2], &h[3], &p[0],
                  &p[1]) != 6) {
    return false;
  }
  char text[32];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", h[0], h[1], h[2], h[3]);
  *address = text;
  *port = static_cast<uint16_t>(p[0] * 256u + p[1]);
  return true;
}

}  // namespace testing
}  // namespace kestova
