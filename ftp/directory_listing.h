// The text of a LIST or NLST reply on the data connection.
#pragma once

#include <vector>

#include "base/counted_string.h"
#include "platform/file_system.h"

namespace kestova {

// The path of a LIST or NLST argument: leading option words ("-la", "-a -l") are
// dropped, so "-la" alone names no path (the current directory is listed).
CCountedString ListingTarget(const CCountedString& argument);

// One LIST line, CR LF included:
// "-rw-rw-rw- 1 ftpuser ftpuser     12345 Jan  5  12:34 a.mpg\r\n". The time of day
// is shown when the entry's (UTC) last-write year equals `currentYear`, else the year.
CCountedString FormatListLine(const DirectoryEntry& entry, int currentYear);

// The whole listing: LIST lines, or for `namesOnly` (NLST) one name per line; "/\r\n"
// when there are no entries at all.
CCountedString FormatListing(const std::vector<DirectoryEntry>& entries, bool namesOnly,
                             int currentYear);

}  // namespace kestova
