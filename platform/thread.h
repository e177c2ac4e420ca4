// Threads and a lock for the portable code (which uses no std::thread or std::mutex,
// so that the Windows build needs nothing Windows 2000/XP lacks).
#pragma once

namespace kestova {

using ThreadProc = void (*)(void* argument);

// Starts `proc(argument)` on a new thread that nobody joins. False when the thread
// could not be started (proc then never runs).
bool StartDetachedThread(ThreadProc proc, void* argument);

// Number of threads the calling process runs now (for tests and diagnostics); 0 when
// it cannot be told.
int CurrentProcessThreadCount();

// A non-recursive lock: a thread that holds it must not acquire it again (on Linux
// that would deadlock). Not copyable.
class CLock {
 public:
  CLock();
  ~CLock();
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;
  void Acquire();
  void Release();

 private:
  alignas(void*) unsigned char storage_[64];
};

// Holds a CLock for its own lifetime.
class CLockHolder {
 public:
  explicit CLockHolder(CLock& lock) : lock_(lock) { lock_.Acquire(); }
  ~CLockHolder() { lock_.Release(); }
  CLockHolder(const CLockHolder&) = delete;
  CLockHolder& operator=(const CLockHolder&) = delete;

 private:
  CLock& lock_;
};

}  // namespace kestova
