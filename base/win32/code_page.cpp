// The system code page on Windows is the ANSI code page (932 on a Japanese system):
// its lead bytes are the system's own answer.
#include "base/code_page.h"

#include <windows.h>

namespace kestova {
namespace {

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

constexpr CodePage kSystemCodePage(&IsAnsiLeadByte);

}  // namespace

const CodePage& CodePage::System() { return kSystemCodePage; }

}  // namespace kestova
