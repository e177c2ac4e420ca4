// Threads and locks that Windows 2000/XP has: _beginthreadex (so the C runtime
// knows the thread), CRITICAL_SECTION and a Toolhelp snapshot.
#include "platform/thread.h"

#include <process.h>
#include <windows.h>
// After <windows.h>, whose types it uses.
#include <tlhelp32.h>

#include <new>

namespace kestova {
namespace {

struct ThreadStart {
  ThreadProc proc;
  void* argument;
};

unsigned __stdcall RunThread(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  start.proc(start.argument);
  return 0;
}

static_assert(sizeof(CRITICAL_SECTION) <= 64, "CLock storage too small for CRITICAL_SECTION");

CRITICAL_SECTION* SectionOf(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

}  // namespace

bool StartDetachedThread(ThreadProc proc, void* argument) {
  ThreadStart* start = new ThreadStart{proc, argument};
  const uintptr_t handle = _beginthreadex(nullptr, 0, &RunThread, start, 0, nullptr);
  if (handle == 0) {
    delete start;
    return false;
  }
  // Nobody joins the thread: its handle is not needed.
  CloseHandle(reinterpret_cast<HANDLE>(handle));
  return true;
}

int CurrentProcessThreadCount() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const DWORD self = GetCurrentProcessId();
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
    entry.dwSize = sizeof entry;
  }
  CloseHandle(snapshot);
  return count;
}

CLock::CLock() { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }

CLock::~CLock() { DeleteCriticalSection(SectionOf(storage_)); }

void CLock::Acquire() { EnterCriticalSection(SectionOf(storage_)); }

void CLock::Release() { LeaveCriticalSection(SectionOf(storage_)); }

}  // namespace kestova
