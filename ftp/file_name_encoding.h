// How this system's file names are encoded, as FTP's UTF8 feature tells clients.
#pragma once

namespace kestova {

// True where every file name is UTF-8 (Linux); false where names are in the ANSI code
// page (Windows), so that UTF8 is neither announced nor switched on there.
bool FileNamesAreUtf8();

// The network protocols EPRT and EPSV take: "1" (IPv4), or "1,2" where IPv6 works too
// (Linux), as the 522 reply lists them.
const char* ExtendedDataProtocols();

}  // namespace kestova
