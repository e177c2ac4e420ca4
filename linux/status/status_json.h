// The status page's JSON: views over the reception board and the service status.
//
//   /api/receptions  {"version": N, "receptions": [RECORD, ...]}
//   /api/status      {"version": N, "service": {...}, "receptions": [RECORD, ...]}
//
// RECORD: id, state (BoardStateName), fileName, path, receivedBytes, announcedBytes
// (null when not announced), elapsedSeconds, rateKiBPerSecond, remainingSeconds and
// percentage (null when not known), startedAt and endedAt (Unix seconds; endedAt null
// while receiving). Texts that are not valid UTF-8 are sent with U+FFFD in their place.
#pragma once

#include <string>
#include <vector>

#include "linux/status/folder_space.h"
#include "linux/status/reception_board.h"
#include "linux/status/service_status.h"

namespace kestova {

std::string ReceptionsJson(const std::vector<BoardRecord>& records, uint64_t version);
std::string StatusJson(const std::vector<BoardRecord>& records, uint64_t version,
                       const ServiceView& service, const FolderSpace& space,
                       const std::string& programVersion);

}  // namespace kestova
