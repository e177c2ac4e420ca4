// Sending a transfer's bytes on a data connection for as long as they keep moving.
//
// A slow reader (a phone on Wi-Fi) is served at its own pace: what ends a send is time
// in which not a single byte went out, never the time a whole block takes.
#pragma once

#include <cstdint>
#include <functional>

#include "net/event_socket.h"
#include "platform/file_system.h"

namespace kestova {

enum class SendOutcome {
  kSent,
  kFailed,      // the connection failed or was closed
  kStalled,     // no byte went out for longer than the stall limit
  kStopped,     // keepGoing answered false
  kFileFailed,  // SendFileWhileMoving: the file could not be read
};

// How long a data connection may take no byte at all before the transfer is given up.
constexpr uint32_t kSendStallLimitMs = 10000;

// Sends all `length` bytes on `socket`. Ends early with kFailed when the connection
// fails or is closed, kStalled when no byte has gone out for more than `stallLimitMs`,
// kStopped when `keepGoing` answers false (a stop, or the client has gone); it is asked
// between waits of at most one second.
SendOutcome SendWhileMoving(CEventSocket& socket, const char* bytes, uint32_t length,
                            const std::function<bool()>& keepGoing,
                            uint32_t stallLimitMs = kSendStallLimitMs);
// Sends the rest of `file`, from its position to its end, on `socket` by the same rules
// (the kernel moves the bytes where it can: see CFileToSocket). kSent once the end of the
// file went out; kFileFailed when the file could not be read.
SendOutcome SendFileWhileMoving(CEventSocket& socket, CFile& file,
                                const std::function<bool()>& keepGoing,
                                uint32_t stallLimitMs = kSendStallLimitMs);

}  // namespace kestova
