// Mapping of client-named paths onto the served folder, and the containment rule.
//
// A client may separate path components with '/' or '\\' on every system. Before a
// path is used it is resolved component by component ("." dropped, ".." removes the
// component before it) and must then lie inside the served folder: its components
// must begin with every component of the root folder, compared whole. A path that
// only shares a text prefix with the root (/srv/rec2/x against /srv/rec/) is outside.
//
// Every search steps over double-byte characters of the system code page, so the
// second byte of a Shift_JIS character is never taken for a separator.
#pragma once

#include "base/code_page.h"
#include "base/counted_string.h"

namespace kestova {

// Resolves "." and ".." components and joins the components with '\\'. A leading
// separator (two for a UNC path) is kept; empty components are dropped; a trailing
// separator is dropped, except after a drive alone ("D:\\"). Returns false when a ".." would climb above the first
// component, when a component consists only of dots and spaces but is neither "."
// nor ".." (Windows would read such a name as a parent reference), or when a
// component is a Windows device name (CON, NUL, COM1, "nul.txt", "NUL:", ...).
bool ResolvePathComponents(const CCountedString& path, CCountedString* resolved);

// True when `resolvedPath` (output of ResolvePathComponents) is `resolvedRoot` itself
// or lies below it, whole components compared byte for byte. Whether the root ends
// with a separator is read in `codePage`: a final trail byte 0x5C is no separator.
bool IsInsideFolder(const CCountedString& resolvedRoot, const CCountedString& resolvedPath,
                    const CodePage& codePage = CodePage::System());

// Resolves `path` and checks that it lies inside `rootFolder` (resolved as well).
// On success `resolved` receives the resolved path.
bool ResolveInsideFolder(const CCountedString& rootFolder, const CCountedString& path,
                         CCountedString* resolved);

// Whether a client may create something under this name: false when the name holds a
// control character (0x00-0x1F or 0x7F; a CR or LF in a name would forge lines of a
// listing) or when `resolvedPath` is longer than kLongestCreatedPath, beyond which the
// folder's own commands could not remove it again.
// A component longer than kLongestName, the longest name the file systems keep, cannot be
// created either (and some systems will not even look it up).
constexpr size_t kLongestCreatedPath = 4000;
constexpr size_t kLongestName = 255;
bool NameMayBeCreated(const CCountedString& argument, const CCountedString& resolvedPath);
// Whether a folder may be renamed to `target`: every path inside it must stay within
// kLongestCreatedPath at its new place. Looks at no more than kMostEntriesWalked entries
// (a tree that holds more is refused: it cannot be shown to fit).
constexpr size_t kMostEntriesWalked = 100000;
bool TreeMayMoveTo(const CCountedString& folder, const CCountedString& target);

// The served-folder text as the service keeps it: ends with a separator. A text that
// does not end with '\\' or '/' gets one appended: '/' when the text uses '/' and no
// '\\' (a POSIX path), '\\' otherwise (an empty text becomes "\\").
CCountedString WithTrailingSeparator(const CCountedString& folder);

}  // namespace kestova
