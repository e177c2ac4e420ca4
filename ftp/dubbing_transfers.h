// The two small dubbing transfers: serving the status document and receiving the
// dubbing information document. Both run on the session thread and reply on the
// control connection through the link.
#pragma once

#include <cstdint>

#include "base/counted_string.h"
#include "ftp/dubbing_link.h"

namespace kestova {

// RETR "$xml$status.xml": replies 150, opens the data connection (on failure: 426,
// done), sends the whole document with the status-send time-out, then closes the data
// connection and replies 226. A failed send adds 426 (kTransferAborted) before the 226.
void SendStatusDocument(IDubbingLink& link, const CCountedString& document,
                        const DubbingTimeouts& timeouts = DubbingTimeouts());

// STOR/APPE "$netdubbing$dubbinginfo.xml": opens the data connection (on failure:
// login state 0, 426, and `titleSize` is left as it is), replies 150, gathers the
// document until the peer closes, an error, the stop flag, or a silence longer than
// the silence limit; closes the data connection and replies 226 however it ended.
// Then sets `titleSize` from the document (0 when it holds none). Only the first MiB
// of the document is kept.
void ReceiveDubbingInfo(IDubbingLink& link, uint64_t* titleSize,
                        const DubbingTimeouts& timeouts = DubbingTimeouts());

}  // namespace kestova
