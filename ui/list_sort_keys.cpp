// Sort keys and comparators of the sortable list.
#include "ui/list_sort_keys.h"

#include <climits>

namespace kestova {
namespace {

bool IsSingleByteSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text without single-byte white space at either end, walking character by
// character so that no byte of a double-byte character counts as white space.
CCountedString TrimmedCharacters(const CCountedString& text, const CodePage& codePage) {
  const char* bytes = text.CStr();
  const size_t length = text.Length();
  size_t first = length;  // start of the first character that is not white space
  size_t end = 0;         // end of the last character that is not white space
  for (size_t at = 0; at < length;) {
    const unsigned step = codePage.CharLength(bytes + at, length - at);
    if (step != 1 || !IsSingleByteSpace(static_cast<unsigned char>(bytes[at]))) {
      if (first == length) first = at;
      end = at + step;
    }
    at += step;
  }
  return first < end ? text.Substring(first, end - first) : CCountedString();
}

int Sign(long a, long b) { return a < b ? -1 : (a > b ? 1 : 0); }

}  // namespace

long ParseLeadingLong(const char* text) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
  while (IsSingleByteSpace(*at)) ++at;
  bool negative = false;
  if (*at == '+' || *at == '-') negative = *at++ == '-';
  long long value = 0;
  for (; *at >= '0' && *at <= '9'; ++at) {
    if (value <= 1LL << 32) value = value * 10 + (*at - '0');  // beyond: clamped below
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<long>(value);
}

bool IsIntegerText(const CCountedString& text, const CodePage& codePage) {
  const CCountedString trimmed = TrimmedCharacters(text, codePage);
  const CCountedString canonical =
      CCountedString::Format("%d", static_cast<int>(ParseLeadingLong(trimmed.CStr())));
  return trimmed == canonical;
}

CCountedString AddressSortKey(const CCountedString& text, const CodePage& codePage) {
  size_t dots[3];
  size_t start = 0;
  for (size_t& dot : dots) {
    dot = start <= text.Length() ? text.Find('.', start, codePage) : CCountedString::npos;
    if (dot == CCountedString::npos) return text;
    start = dot + 1;
  }
  const char* bytes = text.CStr();
  return CCountedString::Format("%02d.%03d.%03d.%03d", static_cast<int>(ParseLeadingLong(bytes)),
                                static_cast<int>(ParseLeadingLong(bytes + dots[0] + 1)),
                                static_cast<int>(ParseLeadingLong(bytes + dots[1] + 1)),
                                static_cast<int>(ParseLeadingLong(bytes + dots[2] + 1)));
}

int CompareTextKeys(const CCountedString& a, const CCountedString& b, bool ascending,
                    const CodePage& codePage) {
  return ascending ? a.CompareNoCase(b.CStr(), codePage) : b.CompareNoCase(a.CStr(), codePage);
}

int CompareIntegerKeys(const CCountedString& a, const CCountedString& b, bool ascending) {
  const long first = ParseLeadingLong(a.CStr());
  const long second = ParseLeadingLong(b.CStr());
  return ascending ? Sign(first, second) : Sign(second, first);
}

int CompareAddressKeys(const CCountedString& a, const CCountedString& b, bool ascending,
                       const CodePage& codePage) {
  return CompareTextKeys(AddressSortKey(a, codePage), AddressSortKey(b, codePage), ascending,
                         codePage);
}

int CompareCellTexts(int kind, const CCountedString& a, const CCountedString& b, bool ascending,
                     const CodePage& codePage) {
  switch (kind) {
    case kSortInteger:
      return CompareIntegerKeys(a, b, ascending);
    case kSortAddress:
      return CompareAddressKeys(a, b, ascending, codePage);
    default:
      return CompareTextKeys(a, b, ascending, codePage);
  }
}

}  // namespace kestova
