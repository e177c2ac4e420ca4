// CInjectedFileFaults: makes CFile writes or closes fail, for as long as the object
// lives, through the file layer's fault seam (platform/file_faults.h) — on every system.
// One at a time per process.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/file_faults.h"

namespace kestova {
namespace testing {

// The system's code for a full disk (ENOSPC, ERROR_DISK_FULL).
int DiskFullCode();

class CInjectedFileFaults {
 public:
  CInjectedFileFaults();
  ~CInjectedFileFaults();
  CInjectedFileFaults(const CInjectedFileFaults&) = delete;
  CInjectedFileFaults& operator=(const CInjectedFileFaults&) = delete;

  // Writes succeed until `bytes` have been written in all (from now on), then fail with
  // `code`; the write that crosses the limit writes the bytes up to it first.
  void FailWritesAfter(uint64_t bytes, int code);
  // Every close fails with `code` (the file is closed all the same).
  void FailCloses(int code);

  uint64_t BytesWritten() const { return written_.load(); }

 private:
  static int Hook(FileOperation operation, uint32_t* length, void* context);

  std::atomic<uint64_t> writeLimit_{UINT64_MAX};
  std::atomic<int> writeCode_{0};
  std::atomic<int> closeCode_{0};
  std::atomic<uint64_t> written_{0};
};

}  // namespace testing
}  // namespace kestova
