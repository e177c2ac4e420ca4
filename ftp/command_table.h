// The command table: the command words the session understands, in the order they
// are compared, with the handler and whether an argument is required.
#pragma once

#include <cstddef>

#include "ftp/ftp_session.h"

namespace kestova {

using FtpCommandHandler = void (CFtpSession::*)(const FtpRequest& request);

struct FtpCommand {
  const char* word;
  FtpCommandHandler handler;  // called virtually
  bool needsArgument;
};

constexpr size_t kFtpCommandCount = 40;
extern const FtpCommand kFtpCommands[kFtpCommandCount];

// The row whose word equals `word` exactly (case-sensitive); nullptr when none does.
const FtpCommand* FindFtpCommand(const CCountedString& word);

}  // namespace kestova
