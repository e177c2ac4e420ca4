#include "ftp/title_file_name.h"

namespace kestova {

// The ANSI file functions take the Shift_JIS title as it is; characters Windows does
// not allow in a name were already replaced by CleanTitle.
CCountedString TitleFileName(const CCountedString& shiftJisTitle) { return shiftJisTitle; }

}  // namespace kestova
