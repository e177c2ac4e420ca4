// The dubbing virtual files and their documents.
#pragma once

#include <cstdint>

#include "base/counted_string.h"

namespace kestova {

// The three virtual file names; compared byte for byte, case-sensitively.
constexpr const char kVirtualStatusFile[] = "$xml$status.xml";
constexpr const char kVirtualDubbingInfoFile[] = "$netdubbing$dubbinginfo.xml";
constexpr const char kVirtualProgrammeFile[] = "$netdubbing$dev0.dat";

// Byte-exact size of the status document.
constexpr size_t kStatusDocumentLength = 1471;

// The status document: 35 Shift_JIS (here plain ASCII) lines ending in CR LF, saying
// that this destination is ready and describing ten devices with fixed values.
CCountedString BuildStatusDocument();

// The title size of a dubbing information document, in units of 2048 bytes: the
// decimal number between the first "<titlesize>" and the "</titlesize>" after it
// (leading white space skipped, optional sign, digits up to the first non-digit). The
// text counts up to its first zero byte. 0 when there is no such element, when it
// holds no digits, when the number is negative (a size cannot be), and when it is larger
// than kLargestTitleSize.
uint64_t ParseTitleSize(const CCountedString& document);

// The largest title size taken as announced: 2^63 bytes. A larger one counts as none, so
// that no byte count made from a title size (bytes, KiB, MiB) can wrap.
constexpr uint64_t kLargestTitleSize = (uint64_t{1} << 63) / 2048;

}  // namespace kestova
