#include "capture/win32/capture_sockets.h"

#include <windows.h>
#include <winsock2.h>

// After winsock2.h, whose types it uses.
#include <mstcpip.h>

#include "capture/answer_transport.h"
#include "capture/nbns_message.h"
#include "net/host.h"

namespace kestova {
namespace {

constexpr int kResultRunning = 0;
constexpr int kResultNoRights = 2;
constexpr int kResultNotSetUp = 3;

// Any address outside the LAN: only the route towards it is asked, nothing is sent.
constexpr uint32_t kOutsideAddress = 0x08080808;
constexpr int kRawReceiveBufferBytes = 1 << 20;

int ResultOfSocketError(int error) {
  return error == WSAEACCES ? kResultNoRights : kResultNotSetUp;
}

int Fail(SOCKET s) {
  const int result = ResultOfSocketError(WSAGetLastError());
  closesocket(s);
  return result;
}

uint32_t LanAddress() {
  const uint32_t route = LocalAddressTowards(kOutsideAddress);
  if (IsUsableAnswerAddress(route)) return route;
  const CCountedString hostName = LocalHostName();
  const uint32_t resolved = hostName.IsEmpty() ? 0 : ResolveHostAddress(hostName.CStr());
  return IsUsableAnswerAddress(resolved) ? resolved : 0;
}

}  // namespace

int OpenRawCaptureSocket(uintptr_t* socketOut) {
  const uint32_t address = LanAddress();
  if (address == 0) return kResultNotSetUp;
  const SOCKET s = socket(AF_INET, SOCK_RAW, IPPROTO_IP);
  if (s == INVALID_SOCKET) return ResultOfSocketError(WSAGetLastError());
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = address;
  if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    return Fail(s);
  }
  // Every IPv4 packet of the interface passes through this socket: room for bursts.
  const int receiveBuffer = kRawReceiveBufferBytes;
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
             sizeof receiveBuffer);
  DWORD on = RCVALL_ON;
  DWORD returned = 0;
  if (WSAIoctl(s, SIO_RCVALL, &on, sizeof on, nullptr, 0, &returned, nullptr, nullptr) ==
      SOCKET_ERROR) {
    return Fail(s);
  }
  *socketOut = static_cast<uintptr_t>(s);
  return kResultRunning;
}

int OpenUdpCaptureSocket(uintptr_t* socketOut) {
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return ResultOfSocketError(WSAGetLastError());
  const BOOL on = TRUE;
  // SO_EXCLUSIVEADDRUSE: no later socket may take the port over either.
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) ==
      SOCKET_ERROR) {
    return Fail(s);
  }
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_port = htons(kNameServicePort);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
    return Fail(s);
  }
  *socketOut = static_cast<uintptr_t>(s);
  return kResultRunning;
}

}  // namespace kestova
