// CCompletionHook: runs the --on-complete command once per reception that has ended with
// a file (received, interrupted or write failed; a file that could not be created has
// none, so it runs nothing).
//
// The command is a program and its arguments separated by spaces; it is started directly
// (posix_spawnp, the PATH is searched), never through a shell, and nothing of the
// reception goes into its arguments. The reception is told in environment variables
// added to the service's own:
//   KESTOVA_FILE     the file's full path       KESTOVA_NAME    its name without folder
//   KESTOVA_STATE    received | interrupted | write-failed
//   KESTOVA_BYTES    bytes received              KESTOVA_SECONDS duration, whole seconds
//   KESTOVA_EXPECTED_BYTES  the size announced before the stream; empty when none was
//   KESTOVA_ID       the reception's row id
//   KESTOVA_ERROR    why it failed, in the system's words (write-failed; else empty)
// Standard input is /dev/null; standard output and error are the service's.
//
// Run returns at once: commands are started by a thread of the hook, and another thread
// waits for them, so a slow or hanging command delays neither the reception that ended
// nor the next one. At most `limit` commands run at once; the runs beyond wait in the
// order their receptions ended and are never dropped (one log line says that a run
// waits). A command that cannot be started, ends with a non-zero status or is ended by a
// signal is logged; a command that runs on is left running (and keeps its place), with
// one line in the log once it has run kSlowNoticeSeconds.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "linux/status/reception_board.h"

namespace kestova {

// The command's words; empty for a command of blanks.
std::vector<std::string> SplitHookCommand(const std::string& command);

// The variables above for `record` (as "NAME=value").
std::vector<std::string> HookEnvironment(const BoardRecord& record);

class CCompletionHook {
 public:
  static constexpr uint32_t kSlowNoticeSeconds = 600;
  static constexpr uint32_t kDefaultLimit = 2;
  static constexpr uint32_t kMaxLimit = 64;

  // `limit`: commands running at once (0 counts as 1).
  explicit CCompletionHook(const std::string& command, uint32_t limit = kDefaultLimit);
  ~CCompletionHook();  // stops the two threads; commands still running go on by themselves
  CCompletionHook(const CCompletionHook&) = delete;
  CCompletionHook& operator=(const CCompletionHook&) = delete;

  bool Enabled() const { return !words_.empty(); }

  // Queues one run for an ended record; ignored for records without a file.
  void Run(const BoardRecord& record);

  // For tests: waits until every queued command has been started and has ended (at most
  // `timeoutMs`); false on time-out.
  bool WaitIdle(uint32_t timeoutMs);

 private:
  struct Child {
    std::string name;
    uint64_t startedMs = 0;
    bool slowNoticed = false;
  };

  void StartLoop();
  void ReapLoop();
  void Spawn(const BoardRecord& record);

  const std::vector<std::string> words_;
  const size_t limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<BoardRecord> queue_;
  std::map<pid_t, Child> running_;
  int starting_ = 0;  // taken from the queue, not yet in running_
  bool stopping_ = false;
  std::thread starter_;
  std::thread reaper_;
};

}  // namespace kestova
