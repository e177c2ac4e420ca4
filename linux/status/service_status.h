// CServiceStatus: what the status page tells about the service besides the receptions —
// the served folder and the name answering (method, interface, the last query answered).
//
// Written by main() and the name answering's reader thread, read by the page's server
// threads; every member function takes the lock.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

namespace kestova {

struct NameAnsweringView {
  std::string method;     // "packet", "socket" or "none"
  std::string interface;  // empty: every interface
  std::string message;    // how it started (or why it is off), as logged
  bool failed = false;    // a running capture has failed for good
  uint64_t answered = 0;
  uint64_t ignored = 0;       // name queries seen and not answered
  std::string lastName;       // the last query answered: the name asked for,
  std::string lastQuerier;    // the querier's address,
  std::string lastAnnounced;  // the address given in the answer,
  std::time_t lastAt = 0;     // and when (0: none yet)
};

struct ServiceView {
  std::string folder;          // the folder new connections serve (UTF-8)
  bool folderWritable = true;  // false: the service may not create files in it
  NameAnsweringView nameAnswering;
};

class CServiceStatus {
 public:
  void SetFolder(const std::string& folder, bool writable);
  void SetNameAnswering(const std::string& method, const std::string& interfaceName,
                        const std::string& message);
  void SetNameAnsweringFailed();
  void CountAnswered(const std::string& name, const std::string& querier,
                     const std::string& announced);
  void CountIgnored();

  ServiceView Snapshot() const;

 private:
  mutable std::mutex mutex_;
  ServiceView view_;
};

}  // namespace kestova
