// The command table: the command words the session understands, in the order they
// are compared, with the handler, whether an argument is required and the
// description text passed to the handler.
#pragma once

#include <cstddef>

#include "ftp/ftp_session.h"

namespace kestova {

using FtpCommandHandler = void (CFtpSession::*)(CCountedString command, CCountedString argument,
                                                CCountedString description);

struct FtpCommand {
  const char* word;
  FtpCommandHandler handler;  // called virtually
  bool needsArgument;
  const char* description;
};

constexpr size_t kFtpCommandCount = 32;
extern const FtpCommand kFtpCommands[kFtpCommandCount];

// The row whose word equals `word` exactly (case-sensitive); nullptr when none does.
const FtpCommand* FindFtpCommand(const CCountedString& word);

}  // namespace kestova
