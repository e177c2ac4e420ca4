// The sockets of the captures that run without the driver. Each returns one of the capture
// client's result codes: 0 with *socket set, 2 when the system refuses the rights the socket
// needs (raw sockets are for administrators), 3 when the socket cannot be set up otherwise.
#pragma once

#include <cstdint>

namespace kestova {

// A raw IPv4 socket bound to the address of the interface that reaches the LAN (the source of
// the default route, else the host name's first usable address), receiving every IPv4 packet of
// that interface (SIO_RCVALL): it sees UDP port 137 even while the system's own NetBIOS owns it.
int OpenRawCaptureSocket(uintptr_t* socket);

// A UDP socket bound to port 137 of every local address, receiving broadcasts. Bound
// exclusively (no address reuse): when something else owns the port the bind fails, rather
// than sharing a port whose datagrams would go elsewhere.
int OpenUdpCaptureSocket(uintptr_t* socket);

}  // namespace kestova
