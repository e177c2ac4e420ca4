// Options of a connected stream socket that the socket layer otherwise leaves at the
// system's defaults.
#pragma once

#include "net/event_socket.h"

namespace kestova {

// Sends each small write at once instead of holding it back until the peer has
// acknowledged the previous one (Nagle's algorithm; TCP_NODELAY). For a control
// connection, whose replies are whole lines written one by one: a reply that follows
// another without a command between them (150, then 226 once the data has moved) would
// otherwise wait for the peer's delayed acknowledgement, about 40 ms on Linux.
// False when the system refuses; the connection works either way.
bool SendSmallWritesAtOnce(CEventSocket& socket);

}  // namespace kestova
