// Programme reception: STOR/APPE "$netdubbing$dev0.dat" of a dubbing session.
//
// The recorder sends the programme stream on the data connection. The reception
// gathers the stream's first block (at least 256 bytes, or what came before the stream
// stopped), names a new file after the title in the stream's header (TITLE.MPG, or
// TITLE_1.MPG, TITLE_2.MPG, ... when taken), writes the whole stream into it byte for
// byte, and reports through the status callback:
//
//   7 (append a row)            once, under the file-naming lock, before the name is chosen
//   0 (file name), 6 (受信中)    once the file exists
//   1-5 (progress)              at most once per report interval while data comes, and
//                               once at the end
//   6 (受信完了しました)          at the end, however the stream ended
//   6 (10008 + path)            instead of all after 7, when the file cannot be created
//   6 (10009 + path)            instead of 受信完了しました, when writing failed
//
// Replies: 150 once the data connection is open; "226 Transfer complete" when the
// stream ended (peer closed, receive error, stop flag, silence); 426 when the data
// connection or the file could not be made; "451 ..." when writing to the file failed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/counted_string.h"
#include "ftp/dubbing_link.h"
#include "ftp/status_callback.h"

namespace kestova {

struct ProgrammeReceptionSetup {
  CCountedString rootFolder;  // ends with a separator; created when missing
  uint64_t titleSize = 0;     // S, units of 2048 bytes; 0 when not announced
  StatusCallback callback = nullptr;
  void* context = nullptr;
  DubbingTimeouts timeouts;
};

enum class ReceptionOutcome {
  kNoDataConnection,  // the data connection could not be opened; no row, no file
  kCreateFailed,      // the file could not be created; the row says so
  kReceived,          // the stream ended and the file holds all of it
  kWriteFailed,       // writing failed; the file holds what was written before
};

struct ProgrammeReceptionResult {
  ReceptionOutcome outcome = ReceptionOutcome::kNoDataConnection;
  int32_t row = -1;            // from status code 7; -1 without callback
  uint64_t receivedBytes = 0;  // T: every byte received, first block included
  size_t firstBlockLength = 0;
  CCountedString fileName;  // name as created (no folder)
  CCountedString path;      // full path (the failing one for kCreateFailed)
};

// Runs one reception on the calling (session) thread; see the top of this file.
ProgrammeReceptionResult ReceiveProgramme(IDubbingLink& link, const ProgrammeReceptionSetup& setup);

}  // namespace kestova
