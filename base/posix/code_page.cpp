// On Linux, text is UTF-8: no byte of a multibyte character can be taken for an
// ASCII separator, so the system code page has no lead bytes.
#include "base/code_page.h"

namespace kestova {
namespace {

bool NoLeadBytes(unsigned char) { return false; }

constexpr CodePage kSystemCodePage(&NoLeadBytes);

}  // namespace

const CodePage& CodePage::System() { return kSystemCodePage; }

}  // namespace kestova
