// The session limits as settings of the settings file (the Windows program's way of
// configuring them; kestov-a takes command-line options instead):
//
//   [Ftp]
//   MaxSessions=200      sessions at the same time, 0 = no limit
//   MaxPerAddress=8      sessions from one client address, 0 = no limit
//   IdleTimeout=300      seconds a control connection may stay quiet, 0 = never closed
//
// A missing key or a value that is not a decimal number in range keeps the default.
#pragma once

#include "ftp/session_admission.h"

namespace kestova {

// The limits from the three texts (null = absent).
FtpSessionLimits ParseSessionLimits(const char* maxSessions, const char* maxPerAddress,
                                    const char* idleTimeoutSeconds);

// The limits from the settings file.
FtpSessionLimits ReadSessionLimitSettings();

}  // namespace kestova
