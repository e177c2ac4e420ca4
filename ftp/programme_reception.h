// Programme reception: STOR/APPE "$netdubbing$dev0.dat" of a dubbing session.
//
// The recorder sends the programme stream on the data connection. The reception
// gathers the stream's first block (at least 256 bytes, or what came before the stream
// stopped), names a new file after the title in the stream's header (TITLE.MPG, or
// TITLE_1.MPG, TITLE_2.MPG, ... when taken), writes the whole stream into it byte for
// byte, and reports what happens as reception events (ftp/reception_events.h) to the
// setup's observer.
//
// How it ends: kReceived when the sender closed the data connection in order after
// reaching the last announced 2048-byte unit (any size when none was announced);
// kInterrupted when the stop flag, more than the silence limit without data or a
// receive error ended it, or the sender closed in order short of that (the file keeps
// every byte received); kWriteFailed when
// writing to the file or closing it failed; kCreateFailed when the file could not be
// created.
//
// Replies: 150 once the data connection is open; 226 (kTransferComplete) when the
// stream ended, in order or interrupted (the recorder relies on it); 426 when the data
// connection or the file could not be made; 451 (kLocalError) when writing to the file or
// closing it failed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/counted_string.h"
#include "ftp/dubbing_link.h"
#include "ftp/reception_events.h"

namespace kestova {

struct ProgrammeReceptionSetup {
  CCountedString rootFolder;          // ends with a separator; created when missing
  uint64_t titleSize = 0;             // S, units of 2048 bytes; 0 when not announced; at most
                                      // kLargestTitleSize (ftp/dubbing_documents.h)
  IReceptionObserver* observer = nullptr;  // may be null
  DubbingTimeouts timeouts;
};

enum class ReceptionOutcome {
  kNoDataConnection,  // the data connection could not be opened; no row, no file
  kCreateFailed,      // the file could not be created; the row says so
  kReceived,          // the sender closed the stream in order, not short of the announced
                      // size; the file holds all of it
  kInterrupted,       // stop flag, silence, receive error or a stream short of the
                      // announced size; the file holds what came
  kWriteFailed,       // writing or closing the file failed; the file holds what was written
};

struct ProgrammeReceptionResult {
  ReceptionOutcome outcome = ReceptionOutcome::kNoDataConnection;
  ReceptionId id = 0;          // the events' id; 0 when no reception started
  uint64_t receivedBytes = 0;  // T: every byte received, first block included
  size_t firstBlockLength = 0;
  CCountedString fileName;  // name as created (no folder)
  CCountedString path;      // full path (the failing one for kCreateFailed)
};

// Runs one reception on the calling (session) thread; see the top of this file.
ProgrammeReceptionResult ReceiveProgramme(IDubbingLink& link, const ProgrammeReceptionSetup& setup);

// How many receptions are running in this process (any thread; the program asks before it
// ends one by closing).
int32_t RunningReceptionCount();

}  // namespace kestova
