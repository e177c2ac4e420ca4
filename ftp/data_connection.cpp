// The data channel: passive (PASV, P@SW) and active (PORT) mode, opening and closing.
#include <vector>

#include "ftp/ftp_session.h"

namespace kestova {
namespace {

constexpr int32_t kDataTimeoutMs = 10000;
constexpr int32_t kPassiveAcceptWaitMs = 3000;

// Decimal digits at the start of `text` (after trimming), 0 when there are none.
// Wraps instead of overflowing; the caller keeps the low 16 bits of the port.
uint32_t LeadingDecimal(const CCountedString& text) {
  uint32_t value = 0;
  for (size_t i = 0; i < text.Length() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  return value;
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

void CFtpSession::OnPasv(CCountedString, CCountedString, CCountedString) {
  dataConnection_.Close();
  uint32_t dataAddress = 0;
  uint16_t dataPort = 0;
  CCountedString addressText;
  CCountedString portText;
  if (!dataConnection_.Create(CEventSocket::kStream, 0, kDataTimeoutMs) ||
      !dataConnection_.Listen(1) || !dataConnection_.GetLocalAddress(&dataAddress, &dataPort) ||
      !controlConnection_.GetLocalAddressText(&addressText, &portText)) {
    Reply("421 Failed to create socket.");
    return;
  }
  addressText.Replace(".", ",");
  Reply("227 Entering Passive Mode (%s,%d,%d).", addressText.CStr(), dataPort / 256,
        dataPort % 256);
  if (!dataConnection_.Accept(dataConnection_, nullptr, nullptr, kPassiveAcceptWaitMs)) {
    Reply("421 Failed to create socket.");
    return;
  }
  passiveFlag_ = 1;
}

void CFtpSession::OnPort(CCountedString, CCountedString argument, CCountedString) {
  const std::vector<CCountedString> fields = SplitAtCommas(argument);
  if (fields.size() < 6) {
    // Nothing is changed: an earlier PORT or PASV stays in force.
    Reply("501 Syntax error in parameters or arguments.");
    return;
  }
  activeAddress_ = CCountedString::Format("%s.%s.%s.%s", fields[0].CStr(), fields[1].CStr(),
                                          fields[2].CStr(), fields[3].CStr());
  const uint32_t port = LeadingDecimal(fields[4]) * 256u + LeadingDecimal(fields[5]);
  activePort_ = static_cast<int32_t>(port & 0x7FFFFFFFu);
  passiveFlag_ = 0;
  Reply("200 Port command successful.");
}

bool CFtpSession::OpenDataConnection() {
  if (passiveFlag_ == 1) return true;
  dataConnection_.Close();
  if (activeAddress_.IsEmpty() || activePort_ == -1) {
    Reply("425 Can't open data connection.");
    return false;
  }
  if (!dataConnection_.Create(CEventSocket::kStream, activeSourcePort_, kDataTimeoutMs)) {
    Reply("421 Failed to create data connection socket.");
    return false;
  }
  if (!dataConnection_.ConnectByName(activeAddress_.CStr(),
                                     static_cast<uint16_t>(activePort_ & 0xFFFF))) {
    Reply("425 Can't open data connection.");
    dataConnection_.Close();
    return false;
  }
  return true;
}

void CFtpSession::CloseDataConnection() { dataConnection_.Close(); }

}  // namespace kestova
