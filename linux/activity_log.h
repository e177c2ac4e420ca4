// Plain log lines for what the service does besides receiving programmes: the name
// queries it answers or ignores (with the reason), and what FTP clients do — logins,
// transfers (name, bytes, direction, result), deletions, renames and folders.
//
// Normal level: answered queries, queries for a recorder's name ("GR-") left unanswered,
// and every login and action of an FTP client on ordinary files. Verbose level (--verbose)
// adds the ignored name service frames and the recorder's dubbing documents.
#pragma once

#include <string>

#include "capture/name_responder.h"
#include "ftp/session_activity.h"

namespace kestova {

class CServiceStatus;

// The log line for `report`, and whether it is shown at the normal level.
std::string NameQueryLogLine(const NameQueryReport& report, bool* normalLevel);
// A name query observer: logs the line and counts the query in the CServiceStatus
// `context` (may be null).
void LogNameQuery(const NameQueryReport& report, void* context);

std::string FtpActivityLogLine(const FtpActivity& activity, bool* normalLevel);
// An FTP activity observer (context unused).
void LogFtpActivity(const FtpActivity& activity, void* context);

}  // namespace kestova
