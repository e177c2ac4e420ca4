#include "ftp/title_cleaning.h"

#include "base/code_page.h"

namespace kestova {

namespace {

// The full-width replacement of a single-byte character, or nullptr to keep it.
const char* FullWidthFor(char c) {
  switch (c) {
    case '\\': return "\x81\x8f";
    case '/': return "\x81\x5e";
    case ':': return "\x81\x46";
    case '*': return "\x81\x96";
    case '?': return "\x81\x48";
    case '"': return "\x81\x68";
    case '<': return "\x81\x83";
    case '>': return "\x81\x84";
    case '|': return "\x81\x62";
    default: return nullptr;
  }
}

}  // namespace

CCountedString TitleFieldOf(const char* firstBlock, size_t length) {
  if (firstBlock == nullptr || length <= kTitleFieldOffset) return CCountedString();
  size_t end = length < kTitleFieldEnd ? length : kTitleFieldEnd;
  size_t stop = kTitleFieldOffset;
  while (stop < end && firstBlock[stop] != '\0') ++stop;
  return CCountedString(firstBlock + kTitleFieldOffset, stop - kTitleFieldOffset);
}

CCountedString CleanTitle(const CCountedString& rawTitle) {
  const CodePage& shiftJis = CodePage::ShiftJis();
  const char* text = rawTitle.CStr();
  size_t length = rawTitle.Length();
  CCountedString cleaned;
  size_t position = 0;
  while (position < length) {
    unsigned step = shiftJis.CharLength(text + position, length - position);
    const char* replacement = step == 1 ? FullWidthFor(text[position]) : nullptr;
    if (replacement != nullptr) {
      cleaned.Append(replacement, 2);
    } else {
      cleaned.Append(text + position, step);
    }
    position += step;
  }
  cleaned.Trim();
  return cleaned;
}

CCountedString ProgrammeTitle(const char* firstBlock, size_t length) {
  return CleanTitle(TitleFieldOf(firstBlock, length));
}

}  // namespace kestova
