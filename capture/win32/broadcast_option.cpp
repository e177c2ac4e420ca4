#include "capture/broadcast_option.h"

#include <winsock2.h>

namespace kestova {

bool EnableBroadcast(CEventSocket& socket) {
  const BOOL on = TRUE;
  return setsockopt(static_cast<SOCKET>(socket.Handle()), SOL_SOCKET, SO_BROADCAST,
                    reinterpret_cast<const char*>(&on), sizeof(on)) == 0;
}

}  // namespace kestova
