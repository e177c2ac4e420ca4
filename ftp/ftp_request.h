// FtpRequest: one command as a handler receives it.
#pragma once

#include "base/counted_string.h"

namespace kestova {

struct FtpRequest {
  // The command word as received, upper-cased: an alias keeps its own word (XCWD,
  // NLST, APPE, BYE, P@SW), so a handler serving several words can tell them apart.
  CCountedString verb;
  // Everything after the first space, exactly as received (nothing trimmed or
  // unquoted); empty when the line holds no space.
  CCountedString argument;
};

}  // namespace kestova
