#include "ftp/name_pattern.h"

namespace kestova {
namespace {

// The length of the character at `text[at]`.
size_t CharacterLength(const CCountedString& text, size_t at, const CodePage& codePage) {
  const size_t remaining = text.Length() - at;
  const unsigned char first = static_cast<unsigned char>(text[at]);
  if (codePage.IsLeadByte(first)) return codePage.CharLength(text.CStr() + at, remaining);
  // No lead bytes at all (0x81 leads in every double-byte code page): UTF-8.
  if (first < 0xC0 || codePage.IsLeadByte(0x81)) return 1;
  size_t length = 1;
  while (length < remaining && length < 4 &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
    ++length;
  }
  return length;
}

}  // namespace

bool HasWildcard(const CCountedString& text, const CodePage& codePage) {
  for (size_t at = 0; at < text.Length(); at += CharacterLength(text, at, codePage)) {
    if (text[at] == '*' || text[at] == '?') return true;
  }
  return false;
}

bool MatchesNamePattern(const CCountedString& pattern, const CCountedString& name,
                        const CodePage& codePage) {
  // Greedy matching with one remembered star: linear in practice, never recursive, so
  // a hostile pattern of many stars costs at most pattern x name steps.
  size_t p = 0;
  size_t n = 0;
  size_t starPattern = CCountedString::npos;
  size_t starName = 0;
  while (n < name.Length()) {
    const size_t nameChar = CharacterLength(name, n, codePage);
    if (p < pattern.Length()) {
      const size_t patternChar = CharacterLength(pattern, p, codePage);
      if (pattern[p] == '*') {
        starPattern = ++p;
        starName = n;
        continue;
      }
      if (pattern[p] == '?' || (patternChar == nameChar &&
                                pattern.Substring(p, patternChar) == name.Substring(n, nameChar))) {
        p += patternChar;
        n += nameChar;
        continue;
      }
    }
    if (starPattern == CCountedString::npos) return false;
    p = starPattern;
    starName += CharacterLength(name, starName, codePage);
    n = starName;
  }
  while (p < pattern.Length() && pattern[p] == '*') ++p;
  return p == pattern.Length();
}

}  // namespace kestova
