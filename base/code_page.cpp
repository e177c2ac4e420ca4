#include "base/code_page.h"

namespace kestova {

namespace {

bool IsShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool NeverLeadByte(unsigned char) { return false; }

}  // namespace

const CodePage& CodePage::ShiftJis() {
  static const CodePage kShiftJis(IsShiftJisLeadByte);
  return kShiftJis;
}

const CodePage& CodePage::SingleByte() {
  static const CodePage kSingleByte(NeverLeadByte);
  return kSingleByte;
}

}  // namespace kestova
