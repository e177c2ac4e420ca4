// The small informational commands: NOOP, SYST, TYPE, REST, SIZE, SITE, PWD, HELP.
#include <climits>
#include <cstdint>

#include "ftp/ftp_session.h"

namespace kestova {
namespace {

const char kHelpText[] =
    "214-The following commands are recognized:\r\n"
    "ABOR\tAPPE\tBYE\tCDUP\r\n"
    "CWD\tDELE\tHELP\tLIST\r\n"
    "MKD\tNLST\tNOOP\tPASS\r\n"
    "PASV\tP@SW\tPORT\tPWD\r\n"
    "QUIT\tREST\tRETR\tRMD\r\n"
    "RNFR\tRNTO\tSITE\tSIZE\r\n"
    "STOR\tSYST\tTYPE\tUSER\r\n"
    "XCWD\tXMKD\tXPWD\tXRMD\r\n"
    "214 HELP command successful.";

// Leading white space, an optional sign, then decimal digits up to the first
// non-digit; 0 without digits. Saturates at the limits of int.
int LeadingInteger(const CCountedString& text) {
  size_t i = 0;
  const size_t length = text.Length();
  while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

}  // namespace

void CFtpSession::OnNoop(CCountedString, CCountedString, CCountedString) { Reply("200 OK"); }

void CFtpSession::OnSyst(CCountedString, CCountedString, CCountedString) {
  Reply("215 UNIX emulated by KESTOV-A FTP Server.");
}

void CFtpSession::OnType(CCountedString, CCountedString argument, CCountedString) {
  Reply("200 Type set to %s", argument.CStr());
}

void CFtpSession::OnRest(CCountedString, CCountedString argument, CCountedString) {
  Reply("350 Restarting at %d.", LeadingInteger(argument));
}

void CFtpSession::OnSize(CCountedString, CCountedString argument, CCountedString) {
  Reply("213 %d", LeadingInteger(argument));
}

void CFtpSession::OnSite(CCountedString, CCountedString, CCountedString) {
  Reply("550 Permission denied.");
}

void CFtpSession::OnPwd(CCountedString, CCountedString, CCountedString) {
  Reply("257 \"%s\" is current directory.", currentDirectory_.CStr());
}

void CFtpSession::OnHelp(CCountedString, CCountedString argument, CCountedString) {
  if (!argument.IsEmpty()) {
    Reply("501 Unknown command %s", argument.CStr());
    return;
  }
  Reply("%s", kHelpText);
}

}  // namespace kestova
