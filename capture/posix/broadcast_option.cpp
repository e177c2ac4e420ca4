#include "capture/broadcast_option.h"

#include <sys/socket.h>

namespace kestova {

bool EnableBroadcast(CEventSocket& socket) {
  const int on = 1;
  return setsockopt(socket.Handle(), SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) == 0;
}

}  // namespace kestova
