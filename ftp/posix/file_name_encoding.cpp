#include "ftp/file_name_encoding.h"

namespace kestova {

bool FileNamesAreUtf8() { return true; }

const char* ExtendedDataProtocols() { return "1,2"; }

}  // namespace kestova
