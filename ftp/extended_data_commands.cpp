// EPSV and EPRT (RFC 2428): passive and active mode for IPv4 and IPv6, under the rules of
// PASV and PORT — data connections to and from the control connection's peer only.
#include "ftp/file_name_encoding.h"
#include "ftp/ftp_session.h"

namespace kestova {
namespace {

// The network protocol number of an address: 1 for IPv4, 2 for IPv6.
const char* ProtocolOf(const IpAddress& address) { return address.IsIPv4() ? "1" : "2"; }

// "<d>proto<d>address<d>port<d>" with any delimiter d from '!' to '~'. False for any other
// shape, a protocol other than 1 or 2, an address not of that protocol, or port 0.
bool ParseExtendedPort(const CCountedString& text, CCountedString* protocol, IpAddress* address,
                       uint16_t* port) {
  if (text.Length() < 7 || text[0] < '!' || text[0] > '~') return false;
  const char delimiter = text[0];
  CCountedString fields[3];
  size_t start = 1;
  for (CCountedString& field : fields) {
    const size_t end = text.Find(delimiter, start);
    if (end == CCountedString::npos) return false;
    field = text.Substring(start, end - start);
    start = end + 1;
  }
  if (start != text.Length()) return false;  // something after the last delimiter
  if (fields[0] != "1" && fields[0] != "2") return false;
  IpAddress parsed;
  if (!ParseIpAddress(fields[1].CStr(), &parsed) || parsed.IsIPv4() != (fields[0] == "1")) {
    return false;
  }
  const CCountedString& digits = fields[2];
  if (digits.IsEmpty() || digits.Length() > 5) return false;
  uint32_t value = 0;
  for (size_t i = 0; i < digits.Length(); ++i) {
    if (digits[i] < '0' || digits[i] > '9') return false;
    value = value * 10u + static_cast<uint32_t>(digits[i] - '0');
  }
  if (value == 0 || value > 65535) return false;
  *protocol = fields[0];
  *address = parsed;
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

void CFtpSession::OnEpsv(const FtpRequest& request) {
  CCountedString argument = request.argument;
  argument.Trim();
  argument.MakeUpper();
  if (argument == "ALL") {
    // From now on EPSV is the only way to set up a data connection (a client behind a
    // NAT that rewrites nothing asks for this).
    epsvOnly_ = true;
    Reply(FtpReply::kEpsvAllSuccessful);
    return;
  }
  // A protocol asked for must be the control connection's own.
  if (!argument.IsEmpty() && argument != ProtocolOf(peerAddressValue_)) {
    Reply(FtpReply::kNetworkProtocolNotSupported, ProtocolOf(peerAddressValue_));
    return;
  }
  dataConnection_.Close();
  uint16_t dataPort = 0;
  if (!OpenPassiveListener(&dataPort)) {
    Reply(FtpReply::kFailedToCreateSocket);
    return;
  }
  Reply(FtpReply::kEnteringExtendedPassive, dataPort);
  // As PASV: the connection is awaited now, and its absence is answered as PASV's is.
  if (!AcceptFromControlPeer()) {
    if (ClientStillThere()) Reply(FtpReply::kFailedToCreateSocket);
    return;
  }
  passiveFlag_ = 1;
}

void CFtpSession::OnEprt(const FtpRequest& request) {
  CCountedString protocol;
  IpAddress address;
  uint16_t port = 0;
  if (!ParseExtendedPort(request.argument, &protocol, &address, &port)) {
    // Nothing is changed: an earlier PORT, EPRT or PASV stays in force.
    Reply(FtpReply::kBadParameters);
    return;
  }
  if (protocol == "2" && CCountedString(ExtendedDataProtocols()) == "1") {
    Reply(FtpReply::kNetworkProtocolNotSupported, ExtendedDataProtocols());
    return;
  }
  // Data goes only to the client itself: no third host (FTP bounce).
  if (address != peerAddressValue_) {
    Reply(FtpReply::kIllegalPort);
    return;
  }
  activeAddressValue_ = address;
  activeAddress_ = IpAddressText(address);
  activePort_ = port;
  passiveFlag_ = 0;
  Reply(FtpReply::kEprtSuccessful);
}

}  // namespace kestova
