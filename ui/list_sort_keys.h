// Sort keys and comparators of the sortable list (EListCtrl): which key a column sorts
// by, and how two cell texts compare. Portable: no window system involved, so it is
// tested natively as well.
//
// Numbers follow atol: leading white space skipped, an optional sign, digits up to the
// first other character, 0 when there are none. Values beyond 32 bits are clamped to
// the 32-bit range (the Windows long), so every system reads a text the same way.
#pragma once

#include "base/counted_string.h"

namespace kestova {

// Key kinds of SortByColumn; any other value sorts as text.
enum SortKeyKind : int { kSortText = 0, kSortInteger = 1, kSortAddress = 2 };

// Columns below this number can be marked as address columns.
constexpr int kAddressColumnLimit = 256;

// atol semantics, clamped to [-2^31, 2^31 - 1].
long ParseLeadingLong(const char* text);

// True when the text, trimmed of single-byte white space at both ends (double-byte
// characters, the full-width space included, are never white space), is byte for byte
// the "%d" form of its own value: "10", "-5", " 100 " are; "007", "", "+1", "12abc" not.
bool IsIntegerText(const CCountedString& text, const CodePage& codePage = CodePage::System());

// "a.b.c.d..." -> "%02d.%03d.%03d.%03d" of the four leading numbers, so that text order
// is address order ("9.1.1.1" -> "09.001.001.001"); a text with fewer than three dots
// (searched multibyte-aware) is returned unchanged.
CCountedString AddressSortKey(const CCountedString& text,
                              const CodePage& codePage = CodePage::System());

// Comparators: negative, 0 or positive for `a` before, equal to or after `b` in the
// requested direction (descending swaps the operands).
// Text: case-insensitive multibyte comparison (ASCII letters folded, double-byte
// characters by code).
int CompareTextKeys(const CCountedString& a, const CCountedString& b, bool ascending,
                    const CodePage& codePage = CodePage::System());
// Integer: -1, 0 or 1 by ParseLeadingLong of each text.
int CompareIntegerKeys(const CCountedString& a, const CCountedString& b, bool ascending);
// Address: both texts through AddressSortKey, then as text.
int CompareAddressKeys(const CCountedString& a, const CCountedString& b, bool ascending,
                       const CodePage& codePage = CodePage::System());
// The comparator of `kind` (anything but integer and address compares as text).
int CompareCellTexts(int kind, const CCountedString& a, const CCountedString& b, bool ascending,
                     const CodePage& codePage = CodePage::System());

// Key kind for a click on `column`: address when the column is below
// kAddressColumnLimit and marked, else integer when `isNumeric()` holds, else text.
// `isNumeric` is not called for an address column.
template <typename NumericTest>
int ChooseSortKeyKind(int column, const int* addressColumnFlags, NumericTest isNumeric) {
  if (column >= 0 && column < kAddressColumnLimit && addressColumnFlags[column] != 0) {
    return kSortAddress;
  }
  return isNumeric() ? kSortInteger : kSortText;
}

// Direction of a click on `column`: the opposite of the last direction when it is the
// column sorted last, else ascending.
inline bool NextSortAscending(int column, int lastColumn, bool lastAscending) {
  return column == lastColumn ? !lastAscending : true;
}

}  // namespace kestova
