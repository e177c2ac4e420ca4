#include "ftp/ftp_replies.h"

namespace kestova {

CCountedString FtpReplyLine(FtpReply reply, std::initializer_list<FtpReplyArgument> arguments) {
  const FtpReplyRow& row = FtpReplyRowOf(reply);
  CCountedString line = CCountedString::Format("%03u", static_cast<unsigned>(row.code));
  if (row.text[0] != '-') line.AppendChar(' ');
  const FtpReplyArgument* next = arguments.begin();
  for (const char* at = row.text; *at != '\0'; ++at) {
    if (at[0] == '{' && at[1] == '}') {
      if (next != arguments.end()) line.Append((next++)->Text());
      ++at;
      continue;
    }
    line.AppendChar(*at);
  }
  return line;
}

}  // namespace kestova
