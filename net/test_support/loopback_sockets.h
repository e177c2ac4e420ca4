// Helpers shared by the socket tests: loopback addresses, connected pairs, deadlines.
#pragma once

#include <chrono>
#include <cstdint>

#include "net/event_socket.h"

namespace kestova {
namespace testing {

// 127.0.0.1 in network byte order, built from its bytes.
uint32_t Loopback();

// The local port of a socket, 0 if it has none.
uint16_t LocalPort(const CEventSocket& socket);

// Creates a listening stream socket on a free port; returns that port (0 on failure).
uint16_t StartListener(CEventSocket& listener);

// Connects `client` to a fresh listener over loopback and accepts into `server`. The
// listener is closed again. True when both ends hold the connection.
bool ConnectPair(CEventSocket& client, CEventSocket& server);

// A port on loopback that nobody listens on (a listener's port, the listener closed).
uint16_t RefusingPort();

// Milliseconds since construction, for generous bounds against hangs.
class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  int64_t ElapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// No timed operation of these tests may take longer than this; more means a hang.
constexpr int64_t kHangMs = 5000;

}  // namespace testing
}  // namespace kestova
