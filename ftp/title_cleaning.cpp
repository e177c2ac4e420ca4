#include "ftp/title_cleaning.h"

#include "base/code_page.h"

namespace kestova {

namespace {

// Characters a Windows file name cannot hold and their full-width Shift_JIS forms.
struct Replacement {
  char character;
  const char* fullWidth;
};
constexpr Replacement kReplacements[] = {
    {'\\', "\x81\x8f"}, {'/', "\x81\x5e"}, {':', "\x81\x46"}, {'*', "\x81\x96"}, {'?', "\x81\x48"},
    {'"', "\x81\x68"},  {'<', "\x81\x83"}, {'>', "\x81\x84"}, {'|', "\x81\x62"},
};

// The full-width replacement of a single-byte character, or nullptr to keep it.
const char* FullWidthFor(char c) {
  for (const Replacement& replacement : kReplacements) {
    if (replacement.character == c) return replacement.fullWidth;
  }
  return nullptr;
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
