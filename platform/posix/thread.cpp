#include "platform/thread.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kestova {
namespace {

struct ThreadStart {
  ThreadProc proc;
  void* argument;
};

void* RunThread(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  start.proc(start.argument);
  return nullptr;
}

static_assert(sizeof(pthread_mutex_t) <= 64, "CLock storage too small for pthread_mutex_t");

pthread_mutex_t* MutexOf(unsigned char* storage) {
  return reinterpret_cast<pthread_mutex_t*>(storage);
}

}  // namespace

bool StartDetachedThread(ThreadProc proc, void* argument) {
  ThreadStart* start = new ThreadStart{proc, argument};
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete start;
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int result = pthread_create(&thread, &attributes, &RunThread, start);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete start;
    return false;
  }
  return true;
}

int CurrentProcessThreadCount() {
  FILE* status = std::fopen("/proc/self/status", "re");
  if (status == nullptr) return 0;
  char line[256];
  int count = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "Threads:", 8) == 0) {
      count = std::atoi(line + 8);
      break;
    }
  }
  std::fclose(status);
  return count;
}

CLock::CLock() {
  pthread_mutex_t* mutex = new (storage_) pthread_mutex_t;
  pthread_mutex_init(mutex, nullptr);
}

CLock::~CLock() { pthread_mutex_destroy(MutexOf(storage_)); }

void CLock::Acquire() { pthread_mutex_lock(MutexOf(storage_)); }

void CLock::Release() { pthread_mutex_unlock(MutexOf(storage_)); }

}  // namespace kestova
