// The file-name form of a cleaned programme title on this system.
//
// Windows: the title as it is (the ANSI file functions take Shift_JIS on a Japanese
// system), except that control characters become "_" and a device name such as CON or
// LPT1 (also before a dot: "CON.x") gets a "_" after it, so that any title gives a file.
//
// Linux: file names are UTF-8, so the title is converted from Shift_JIS (Windows code
// page 932) to UTF-8. A byte that is not valid there becomes "_", and so does a control
// character; a '/' (which a cleaned title never holds) becomes the full-width solidus.
// An empty title and a title beginning with "." get a "_" in front, so that the file
// (title + ".MPG") never begins with a dot and is never hidden. The result never
// contains '/' or a NUL byte, so it always names one entry in its folder.
//
// Safe from any thread.
#pragma once

#include "base/counted_string.h"

namespace kestova {

CCountedString TitleFileName(const CCountedString& shiftJisTitle);

}  // namespace kestova
