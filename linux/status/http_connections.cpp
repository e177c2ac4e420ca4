// The page's bounded connections (see http_connections.h).
#include "linux/status/http_connections.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

namespace kestova {
namespace {

using Clock = std::chrono::steady_clock;

// Set on the listener's thread while it hands a connection over that no worker can take.
thread_local bool t_refuseConnection = false;

// A pool of one worker per connection allowed; a connection offered while every worker
// is taken is refused on the offering thread (see process_and_close_socket), never queued.
class CConnectionPool final : public httplib::TaskQueue {
 public:
  explicit CConnectionPool(size_t workers) {
    for (size_t i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
  }
  ~CConnectionPool() override { shutdown(); }
  CConnectionPool(const CConnectionPool&) = delete;
  CConnectionPool& operator=(const CConnectionPool&) = delete;

  void enqueue(std::function<void()> fn) override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (!stopping_ && busy_ + jobs_.size() < threads_.size()) {
        jobs_.push_back(std::move(fn));
        wake_.notify_one();
        return;
      }
    }
    t_refuseConnection = true;
    fn();
    t_refuseConnection = false;
  }

  void shutdown() override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopping, nothing left to close
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      ++busy_;
      lock.unlock();
      job();
      lock.lock();
      --busy_;
    }
  }

  std::vector<std::thread> threads_;
  std::deque<std::function<void()>> jobs_;
  size_t busy_ = 0;
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
};

// A connection's stream: every wait is cut at the connection's deadline and at the I/O
// time-out, and reads end once the connection has sent its byte budget.
class CDeadlineStream final : public httplib::Stream {
 public:
  CDeadlineStream(socket_t sock, Clock::time_point deadline, int ioSeconds, size_t maxReadBytes)
      : sock_(sock), deadline_(deadline), ioMs_(ioSeconds * 1000), readLeft_(maxReadBytes) {}

  bool is_readable() const override { return Wait(POLLIN, ioMs_); }
  bool is_writable() const override { return Wait(POLLOUT, ioMs_); }

  ssize_t read(char* ptr, size_t size) override {
    if (readLeft_ == 0 || !Wait(POLLIN, ioMs_)) return -1;
    ssize_t got;
    do {
      got = recv(sock_, ptr, std::min(size, readLeft_), 0);
    } while (got < 0 && errno == EINTR);
    if (got > 0) readLeft_ -= static_cast<size_t>(got);
    return got;
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!Wait(POLLOUT, ioMs_)) return -1;
    ssize_t sent;
    do {
      sent = send(sock_, ptr, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(getsockname, ip, port);
  }
  socket_t socket() const override { return sock_; }

  // Waits for the next request of the connection, at most `seconds` (and the deadline).
  bool NextRequestArrives(int seconds) const { return Wait(POLLIN, seconds * 1000); }

 private:
  bool Wait(short events, int limitMs) const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    const int waitMs = static_cast<int>(std::min<long long>(limitMs, left));
    if (waitMs <= 0) return false;
    pollfd entry = {sock_, events, 0};
    int ready;
    do {
      ready = poll(&entry, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & (events | POLLHUP | POLLERR)) != 0;
  }

  void AddressOf(int (*which)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
    sockaddr_storage address = {};
    socklen_t length = sizeof(address);
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (which(sock_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof(host), service,
                    sizeof(service), NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
      return;
    }
    ip = host;
    port = std::atoi(service);
  }

  const socket_t sock_;
  const Clock::time_point deadline_;
  const int ioMs_;
  size_t readLeft_;
};

void Refuse(socket_t sock) {
  static const char kBusy[] =
      "HTTP/1.1 503 Service Unavailable\r\n"
      "Content-Type: text/plain; charset=utf-8\r\n"
      "Content-Length: 25\r\n"
      "Retry-After: 5\r\n"
      "Connection: close\r\n\r\n"
      "503 Too many connections\n";
  // Never waits: a client that does not read gets nothing.
  (void)send(sock, kBusy, sizeof(kBusy) - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
  shutdown(sock, SHUT_RDWR);
  close(sock);
}

}  // namespace

CBoundedHttpServer::CBoundedHttpServer(const HttpConnectionLimits& limits) : limits_(limits) {
  const size_t workers = limits.maxConnections;
  new_task_queue = [workers] { return new CConnectionPool(workers); };
  set_read_timeout(limits.ioSeconds, 0);
  set_write_timeout(limits.ioSeconds, 0);
}

void CBoundedHttpServer::EndConnections() {
  std::lock_guard<std::mutex> hold(mutex_);
  for (socket_t sock : serving_) shutdown(sock, SHUT_RDWR);
}

bool CBoundedHttpServer::process_and_close_socket(socket_t sock) {
  if (t_refuseConnection) {
    Refuse(sock);
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(mutex_);
    serving_.insert(sock);
  }
  Serve(sock);
  {
    // Out of the set before the descriptor can be reused: EndConnections never shuts
    // down a stranger's socket.
    std::lock_guard<std::mutex> hold(mutex_);
    serving_.erase(sock);
  }
  shutdown(sock, SHUT_RDWR);
  close(sock);
  return true;
}

void CBoundedHttpServer::Serve(socket_t sock) {
  CDeadlineStream stream(sock, Clock::now() + std::chrono::seconds(limits_.connectionSeconds),
                         limits_.ioSeconds, limits_.maxRequestBytes);
  // Called for every request that could be read; a malformed one ends the connection.
  bool wellFormed = false;
  const std::function<void(httplib::Request&)> noRanges = [&wellFormed](httplib::Request& request) {
    wellFormed = true;
    request.ranges.clear();
    request.headers.erase("Range");
  };
  size_t left = keep_alive_max_count_;
  const int keepAliveSeconds = static_cast<int>(keep_alive_timeout_sec_);
  while (svr_sock_ != INVALID_SOCKET && left > 0 && stream.NextRequestArrives(keepAliveSeconds)) {
    bool closed = false;
    wellFormed = false;
    if (!process_request(stream, left == 1, closed, noRanges) || closed || !wellFormed) break;
    --left;
  }
}

}  // namespace kestova
