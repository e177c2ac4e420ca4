#include "ftp/file_name_encoding.h"

namespace kestova {

bool FileNamesAreUtf8() { return false; }

// The socket layer creates IPv4 sockets only on Windows.
const char* ExtendedDataProtocols() { return "1"; }

}  // namespace kestova
