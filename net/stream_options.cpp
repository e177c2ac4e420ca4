#include "net/stream_options.h"

#include "net/socket_system.h"

namespace kestova {

bool SendSmallWritesAtOnce(CEventSocket& socket) {
  const int on = 1;
  return setsockopt(socket.Handle(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                    sizeof(on)) == 0;
}

}  // namespace kestova
