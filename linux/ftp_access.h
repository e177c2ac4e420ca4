// The FTP service's listen addresses, passive port range and policy for ordinary
// clients, from the command line and (where it says nothing) the settings file.
#pragma once

#include "ftp/ftp_service.h"
#include "linux/options.h"

namespace kestova {

// Sets the three on `service`; the options were validated by ParseLinuxOptions.
void ApplyFtpAccessOptions(const LinuxOptions& options, CFtpService* service);

}  // namespace kestova
