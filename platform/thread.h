// Threads and a lock for the portable code (which uses no std::thread or std::mutex,
// so that the Windows build needs nothing Windows 2000/XP lacks).
#pragma once

#include "platform/thread_annotations.h"

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
class KESTOVA_CAPABILITY("lock") CLock {
 public:
  CLock();
  ~CLock();
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;
  void Acquire() KESTOVA_ACQUIRE();
  void Release() KESTOVA_RELEASE();

 private:
  alignas(void*) unsigned char storage_[64];
};

// Holds a CLock for its own lifetime, or until Release().
class KESTOVA_SCOPED_CAPABILITY CLockHolder {
 public:
  explicit CLockHolder(CLock& lock) KESTOVA_ACQUIRE(lock) : lock_(lock) { lock_.Acquire(); }
  ~CLockHolder() KESTOVA_RELEASE() {
    if (held_) lock_.Release();
  }
  CLockHolder(const CLockHolder&) = delete;
  CLockHolder& operator=(const CLockHolder&) = delete;
  // Gives the lock back before the end of the scope.
  void Release() KESTOVA_RELEASE() {
    if (held_) lock_.Release();
    held_ = false;
  }

 private:
  CLock& lock_;
  bool held_ = true;
};

}  // namespace kestova
