#include "platform/test_support/injected_file_faults.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#endif

namespace kestova {
namespace testing {

#ifdef _WIN32
int DiskFullCode() { return ERROR_DISK_FULL; }
#else
int DiskFullCode() { return ENOSPC; }
#endif

CInjectedFileFaults::CInjectedFileFaults() { SetFileFaultHook(&Hook, this); }

CInjectedFileFaults::~CInjectedFileFaults() { SetFileFaultHook(nullptr, nullptr); }

void CInjectedFileFaults::FailWritesAfter(uint64_t bytes, int code) {
  writeCode_ = code;
  written_ = 0;
  writeLimit_ = bytes;
}

void CInjectedFileFaults::FailCloses(int code) { closeCode_ = code; }

int CInjectedFileFaults::Hook(FileOperation operation, uint32_t* length, void* context) {
  CInjectedFileFaults& self = *static_cast<CInjectedFileFaults*>(context);
  if (operation == FileOperation::kClose) return self.closeCode_.load();
  const uint64_t before = self.written_.fetch_add(*length);
  const uint64_t limit = self.writeLimit_.load();
  if (self.writeCode_.load() == 0 || before + *length <= limit) return 0;
  *length = before >= limit ? 0 : static_cast<uint32_t>(limit - before);
  self.written_ = before + *length;
  return self.writeCode_.load();
}

}  // namespace testing
}  // namespace kestova
