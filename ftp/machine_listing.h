// Machine listings (MLSD, MLST) and times (MDTM, MFMT) as RFC 3659 writes them.
#pragma once

#include "base/counted_string.h"
#include "ftp/ordinary_client_access.h"
#include "platform/file_system.h"
#include "platform/time.h"

namespace kestova {

// "YYYYMMDDHHMMSS" of a UTC time.
CCountedString FormatFactTime(const CalendarTime& utc);
// Reads "YYYYMMDDHHMMSS" (an optional ".fraction" is ignored) with each field in range;
// false for anything else.
bool ParseFactTime(const CCountedString& text, CalendarTime* utc);

// The facts of one entry, "type=file;size=12;modify=20261208140000;perm=adfrw;", with
// the permissions `access` leaves (a folder: type=dir, perm "el" or "cdeflmp").
CCountedString FormatFacts(const DirectoryEntry& entry, OrdinaryClientAccess access);

// One MLSD line: the facts, a space, the name, CR LF.
CCountedString FormatMachineLine(const DirectoryEntry& entry, OrdinaryClientAccess access);

}  // namespace kestova
