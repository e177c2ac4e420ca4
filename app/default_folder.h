// The folder received programmes are saved in while the settings file names none.
#pragma once

#include "base/counted_string.h"

namespace kestova {

// "<the user's documents folder>\KESTOV-A\" (created by the first reception); the
// executable's folder followed by "受信\" when the system names no documents folder.
// Never the executable's folder itself, which FTP may neither serve nor change.
CCountedString DefaultReceiveFolder();

}  // namespace kestova
