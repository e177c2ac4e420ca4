// The data channel: passive (PASV, P@SW) and active (PORT) mode, opening and closing.
#include <cstring>
#include <vector>

#include "ftp/ftp_session.h"
#include "platform/time.h"

namespace kestova {
namespace {

constexpr int32_t kDataTimeoutMs = 10000;
constexpr int32_t kPassiveAcceptWaitMs = 3000;
// The passive wait is cut into slices so that a stop or a client that has gone ends it
// within this time.
constexpr int32_t kWaitSliceMs = 250;
constexpr int32_t kConnectAttemptMs = 1000;

// One PORT field: 1 to 3 decimal digits, 0 to 255. Nothing else (no sign, no name, no
// hexadecimal) is read as a number, so a field can never wrap or reach a resolver.
bool ParsePortField(const CCountedString& text, uint32_t* value) {
  if (text.IsEmpty() || text.Length() > 3) return false;
  uint32_t result = 0;
  for (size_t i = 0; i < text.Length(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    result = result * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (result > 255) return false;
  *value = result;
  return true;
}

std::vector<CCountedString> SplitAtCommas(const CCountedString& text) {
  std::vector<CCountedString> fields;
  size_t start = 0;
  while (true) {
    const size_t comma = text.Find(',', start);
    CCountedString field =
        text.Substring(start, comma == CCountedString::npos ? CCountedString::npos : comma - start);
    fields.push_back(field.Trim());
    if (comma == CCountedString::npos) break;
    start = comma + 1;
  }
  return fields;
}

}  // namespace

void CFtpSession::OnPasv(const FtpRequest&) {
  dataConnection_.Close();
  uint16_t dataPort = 0;
  CCountedString addressText;
  CCountedString portText;
  // PASV names an IPv4 address only; an IPv6 client uses EPSV.
  if (!peerAddressValue_.IsIPv4() || !OpenPassiveListener(&dataPort) ||
      !controlConnection_.GetLocalAddressText(&addressText, &portText)) {
    Reply(FtpReply::kFailedToCreateSocket);
    return;
  }
  addressText.Replace(".", ",");
  Reply(FtpReply::kEnteringPassive, addressText, dataPort / 256, dataPort % 256);
  // Recorder quirk kept on purpose (docs/conventions.md): 227 sent, no connection: 421.
  if (!AcceptFromControlPeer()) {
    if (ClientStillThere()) Reply(FtpReply::kFailedToCreateSocket);
    return;
  }
  passiveFlag_ = 1;
}

bool CFtpSession::AcceptFromControlPeer() {
  const uint32_t start = TickCountMs();
  for (;;) {
    const uint32_t waited = TickCountMs() - start;
    if (waited >= static_cast<uint32_t>(kPassiveAcceptWaitMs) || !ClientStillThere()) return false;
    const uint32_t left = static_cast<uint32_t>(kPassiveAcceptWaitMs) - waited;
    const int32_t slice = static_cast<int32_t>(left < kWaitSliceMs ? left : kWaitSliceMs);
    CEventSocket candidate;
    IpAddress candidateAddress;
    if (!dataConnection_.AcceptPeer(candidate, &candidateAddress, nullptr, slice)) continue;
    if (candidateAddress != peerAddressValue_) {
      // Someone else raced the client to the announced port: refused, the wait goes on.
      candidate.Close();
      continue;
    }
    dataConnection_.Close();
    dataConnection_.Attach(candidate.Detach());
    return true;
  }
}

void CFtpSession::OnPort(const FtpRequest& request) {
  const std::vector<CCountedString> fields = SplitAtCommas(request.argument);
  if (fields.size() < 6) {
    // Nothing is changed: an earlier PORT or PASV stays in force.
    Reply(FtpReply::kBadParameters);
    return;
  }
  uint32_t values[6] = {};
  for (size_t i = 0; i < 6; ++i) {
    if (fields.size() != 6 || !ParsePortField(fields[i], &values[i])) {
      Reply(FtpReply::kBadParameters);
      return;
    }
  }
  const uint8_t octets[4] = {static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]),
                             static_cast<uint8_t>(values[2]), static_cast<uint8_t>(values[3])};
  uint32_t address = 0;
  std::memcpy(&address, octets, sizeof(address));  // network order, as the peer's
  const uint32_t port = values[4] * 256u + values[5];
  // Data goes only to the client itself: no third host (FTP bounce), no port 0.
  if (IpAddress::FromIPv4(address) != peerAddressValue_ || port == 0) {
    Reply(FtpReply::kIllegalPort);
    return;
  }
  activeAddressValue_ = IpAddress::FromIPv4(address);
  activeAddress_ =
      CCountedString::Format("%u.%u.%u.%u", values[0], values[1], values[2], values[3]);
  activePort_ = static_cast<int32_t>(port);
  passiveFlag_ = 0;
  Reply(FtpReply::kPortSuccessful);
}

bool CFtpSession::OpenDataConnection() {
  if (passiveFlag_ == 1) return true;
  dataConnection_.Close();
  if (activeAddress_.IsEmpty() || activePort_ == -1) {
    Reply(FtpReply::kCannotOpenDataConnection);
    return false;
  }
  // Connection attempts of at most a second each, so that a stop or the client's leaving
  // ends a connect that the client never answers; together they wait as one attempt of the
  // data time-out would. A refusal ends them at once.
  const uint32_t start = TickCountMs();
  for (;;) {
    if (!CreateActiveSocket(kDataTimeoutMs)) {
      Reply(FtpReply::kFailedToCreateDataSocket);
      return false;
    }
    const uint32_t attemptStart = TickCountMs();
    if (dataConnection_.Connect(activeAddressValue_, static_cast<uint16_t>(activePort_),
                                kConnectAttemptMs)) {
      return true;
    }
    dataConnection_.Close();
    const uint32_t now = TickCountMs();
    const bool refused = now - attemptStart < static_cast<uint32_t>(kConnectAttemptMs) / 2;
    if (refused || now - start >= static_cast<uint32_t>(kDataTimeoutMs) || !ClientStillThere()) {
      if (ClientStillThere()) Reply(FtpReply::kCannotOpenDataConnection);
      return false;
    }
  }
}

void CFtpSession::CloseDataConnection() { dataConnection_.Close(); }

}  // namespace kestova
