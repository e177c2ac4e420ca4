#include "linux/completion_hook.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "linux/service_log.h"
#include "platform/texts.h"

extern char** environ;

namespace kestova {
namespace {

constexpr auto kReapInterval = std::chrono::milliseconds(100);

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool HasFile(const BoardRecord& record) {
  return record.state == BoardState::kReceived || record.state == BoardState::kInterrupted ||
         record.state == BoardState::kWriteFailed;
}

}  // namespace

std::vector<std::string> SplitHookCommand(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  for (char c : command) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

std::vector<std::string> HookEnvironment(const BoardRecord& record) {
  const uint32_t seconds = record.endedAt >= record.startedAt && record.startedAt != 0
                               ? static_cast<uint32_t>(record.endedAt - record.startedAt)
                               : record.elapsedSeconds;
  return {
      "KESTOVA_FILE=" + record.path,
      "KESTOVA_NAME=" + record.fileName,
      std::string("KESTOVA_STATE=") + BoardStateName(record.state),
      "KESTOVA_BYTES=" + std::to_string(record.receivedBytes),
      "KESTOVA_EXPECTED_BYTES=" +
          (record.announcedBytes != 0 ? std::to_string(record.announcedBytes) : std::string()),
      "KESTOVA_SECONDS=" + std::to_string(seconds),
      "KESTOVA_ID=" + std::to_string(record.id),
      "KESTOVA_ERROR=" + record.reason,
  };
}

CCompletionHook::CCompletionHook(const std::string& command, uint32_t limit)
    : words_(SplitHookCommand(command)), limit_(limit == 0 ? 1 : limit) {
  if (!Enabled()) return;
  starter_ = std::thread([this] { StartLoop(); });
  reaper_ = std::thread([this] { ReapLoop(); });
}

CCompletionHook::~CCompletionHook() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (starter_.joinable()) starter_.join();
  if (reaper_.joinable()) reaper_.join();
}

void CCompletionHook::Run(const BoardRecord& record) {
  if (!Enabled() || !HasFile(record)) return;
  size_t running = 0;
  size_t before = 0;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    running = running_.size() + static_cast<size_t>(starting_);
    before = queue_.size();
    queue_.push_back(record);
  }
  wake_.notify_all();
  if (running + before >= limit_) {
    LogLine(Format(T_("completion hook for #%s %s"), std::to_string(record.id).c_str(),
                   record.fileName.c_str()) +
            Format(T_(": waits (%s running, %s waiting before it)"),
                   std::to_string(running).c_str(), std::to_string(before).c_str()));
  }
}

void CCompletionHook::StartLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] {
      return stopping_ ||
             (!queue_.empty() && running_.size() + static_cast<size_t>(starting_) < limit_);
    });
    if (stopping_) return;  // runs not yet started are dropped with the service
    BoardRecord record = queue_.front();
    queue_.pop_front();
    ++starting_;
    lock.unlock();
    Spawn(record);
    lock.lock();
    --starting_;
  }
}

void CCompletionHook::Spawn(const BoardRecord& record) {
  std::vector<std::string> variables = HookEnvironment(record);
  std::vector<char*> environment;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "KESTOVA_", 8) != 0) environment.push_back(*entry);
  }
  for (std::string& variable : variables) environment.push_back(&variable[0]);
  environment.push_back(nullptr);
  std::vector<std::string> words = words_;
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  // The command gets none of the service's sockets and files (a hook that runs on must
  // not keep port 21 from a restarted service), the default signal dispositions (the
  // service ignores SIGPIPE) and an empty signal mask.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int result =
      posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environment.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  const std::string what = Format(T_("completion hook for #%s %s"),
                                  std::to_string(record.id).c_str(), record.fileName.c_str());
  if (result != 0) {
    LogLine(what + Format(T_(": cannot start %s: %s"), words_[0].c_str(), std::strerror(result)));
    return;
  }
  LogLine(what + Format(T_(": started %s (process %s)"), words_[0].c_str(),
                        std::to_string(pid).c_str()),
          LogLevel::kVerbose);
  std::lock_guard<std::mutex> hold(mutex_);
  Child child;
  child.name = what;
  child.startedMs = NowMs();
  running_[pid] = child;
}

void CCompletionHook::ReapLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, kReapInterval);
    const size_t runningBefore = running_.size();
    for (auto it = running_.begin(); it != running_.end();) {
      int status = 0;
      const pid_t done = waitpid(it->first, &status, WNOHANG);
      if (done == 0) {
        if (!it->second.slowNoticed &&
            NowMs() - it->second.startedMs >= kSlowNoticeSeconds * 1000) {
          it->second.slowNoticed = true;
          LogLine(it->second.name + Format(T_(": still running after %s s (process %s)"),
                                           std::to_string(kSlowNoticeSeconds).c_str(),
                                           std::to_string(it->first).c_str()));
        }
        ++it;
        continue;
      }
      if (done < 0) {
        it = running_.erase(it);  // not our child any more (cannot happen); forget it
        continue;
      }
      if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        LogLine(it->second.name +
                Format(T_(": the command ended with status %d"), WEXITSTATUS(status)));
      } else if (WIFSIGNALED(status)) {
        LogLine(it->second.name +
                Format(T_(": the command was ended by signal %d"), WTERMSIG(status)));
      }
      it = running_.erase(it);
    }
    if (running_.size() < runningBefore) wake_.notify_all();  // places for waiting runs
  }
}

bool CCompletionHook::WaitIdle(uint32_t timeoutMs) {
  const uint64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (queue_.empty() && starting_ == 0 && running_.empty()) return true;
    }
    if (NowMs() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace kestova
