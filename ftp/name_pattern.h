// Wildcard patterns of NLST and LIST: '*' matches any run of characters (none
// included), '?' exactly one character; every other character matches itself,
// case-sensitively. A character is what the code page makes of the bytes: a lead byte
// and its trail byte in a double-byte code page, a lead byte and its continuation
// bytes in UTF-8 (a code page without lead bytes), so '?' never splits one.
#pragma once

#include "base/code_page.h"
#include "base/counted_string.h"

namespace kestova {

// True when `text` holds '*' or '?' (as whole characters of the code page).
bool HasWildcard(const CCountedString& text, const CodePage& codePage);

// True when the whole of `name` matches `pattern`.
bool MatchesNamePattern(const CCountedString& pattern, const CCountedString& name,
                        const CodePage& codePage);

}  // namespace kestova
