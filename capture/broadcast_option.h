// Permission to send datagrams to a broadcast address, which sockets lack by default.
#pragma once

#include "net/event_socket.h"

namespace kestova {

// Sets SO_BROADCAST on the socket; true on success.
bool EnableBroadcast(CEventSocket& socket);

}  // namespace kestova
