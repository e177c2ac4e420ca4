// Separator and dot searches in path text, stepping over double-byte characters.
//
// Both '\\' and '/' separate path components. In a double-byte code page a trail
// byte may be 0x5C ('\\', e.g. Shift_JIS 0x95 0x5C) or 0x2E-like bytes; only a
// single-byte character is ever taken for a separator or a dot. The code page is a
// parameter so that the Shift_JIS rules are exercised on every system.
#pragma once

#include <cstddef>

#include "base/code_page.h"
#include "base/counted_string.h"

namespace kestova {

// True for the two single-byte separators.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Offset of the first separator at or after `start` (which must begin a character),
// npos when there is none.
size_t FindNextSeparator(const CCountedString& path, size_t start, const CodePage& codePage);

// Offset of the last separator, npos when there is none.
size_t FindLastSeparator(const CCountedString& path, const CodePage& codePage);

// True when the last character of the path is a separator (not a trail byte 0x5C).
bool EndsWithSeparator(const CCountedString& path, const CodePage& codePage);

// The path up to and including its last separator; empty when there is none.
CCountedString FolderOf(const CCountedString& path, const CodePage& codePage);

// The path up to and including the last dot of its file name (the text after the
// last separator), followed by "ini"; "ini" alone when the file name has no dot.
CCountedString SettingsPathFor(const CCountedString& modulePath, const CodePage& codePage);

}  // namespace kestova
