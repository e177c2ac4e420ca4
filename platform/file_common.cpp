// The parts of CFile both systems share: the fault seam around the bodies' writes and
// closes, and the kept error.
#include <atomic>

#include "platform/file_faults.h"
#include "platform/file_system.h"

namespace kestova {
namespace {

struct InstalledHook {
  FileFaultHook hook;
  void* context;
};
std::atomic<const InstalledHook*> g_hook{nullptr};
InstalledHook g_slot{nullptr, nullptr};

}  // namespace

void SetFileFaultHook(FileFaultHook hook, void* context) {
  g_hook.store(nullptr);
  if (hook == nullptr) return;
  g_slot = InstalledHook{hook, context};
  g_hook.store(&g_slot);
}

bool FileFaultHookInstalled() { return g_hook.load() != nullptr; }

int InjectedFileFault(FileOperation operation, uint32_t* length) {
  const InstalledHook* installed = g_hook.load();
  if (installed == nullptr) return 0;
  uint32_t ignored = 0;
  return installed->hook(operation, length != nullptr ? length : &ignored, installed->context);
}

bool CFile::Write(const void* buffer, uint32_t length) {
  uint32_t allowed = length;
  const int fault = InjectedFileFault(FileOperation::kWrite, &allowed);
  if (fault == 0) return WriteBody(buffer, length);
  if (allowed > 0 && allowed < length && !WriteBody(buffer, allowed)) return false;
  NoteFailure(fault);
  return false;
}

bool CFile::Close() {
  if (!IsOpen()) return true;
  const int fault = InjectedFileFault(FileOperation::kClose, nullptr);
  const bool closed = CloseBody();
  if (fault == 0) return closed;
  NoteFailure(fault);
  return false;
}

void CFile::NoteFailure(int code) { lastError_ = SystemErrorOf(code); }

}  // namespace kestova
