// The sockets of data connections: a passive listener within the passive port range, an
// active-mode socket of the client's address family.
#include "ftp/ftp_session.h"
#include "platform/time.h"

namespace kestova {
namespace {

constexpr int32_t kPassiveSocketTimeoutMs = 10000;

}  // namespace

bool CFtpSession::OpenPassiveListener(uint16_t* port) {
  IpAddress local;
  if (!controlConnection_.GetLocalIpAddress(&local, nullptr)) return false;
  // The data socket is of the control connection's family: wildcard for IPv4 as it always
  // was, the control connection's own address for IPv6.
  const IpAddress bound = local.IsIPv4() ? IpAddress::FromIPv4(0) : local;
  if (passivePorts_.IsAny()) {
    return dataConnection_.CreateStream(bound, 0, kPassiveSocketTimeoutMs) &&
           dataConnection_.Listen(1) && dataConnection_.GetLocalIpAddress(nullptr, port);
  }
  // Every port of the range once, from a changing start, so that sessions at the same time
  // do not all try the same ports first.
  const uint32_t count = static_cast<uint32_t>(passivePorts_.high - passivePorts_.low) + 1u;
  const uint32_t first = TickCountMs() % count;
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t candidate = static_cast<uint16_t>(passivePorts_.low + (first + i) % count);
    if (dataConnection_.CreateStream(bound, candidate, kPassiveSocketTimeoutMs) &&
        dataConnection_.Listen(1)) {
      *port = candidate;
      return true;
    }
    dataConnection_.Close();
    if (StopRequested()) break;
  }
  return false;
}

bool CFtpSession::CreateActiveSocket(int32_t timeoutMs) {
  if (activeAddressValue_.IsIPv4()) {
    return dataConnection_.Create(CEventSocket::kStream, activeSourcePort_, timeoutMs);
  }
  IpAddress local;
  return controlConnection_.GetLocalIpAddress(&local, nullptr) &&
         dataConnection_.CreateStream(local, activeSourcePort_, timeoutMs);
}

}  // namespace kestova
