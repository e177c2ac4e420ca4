// The fault seam behind CFile: lets a test make writes and closes fail with a chosen
// system error, the same way on every system (platform/test_support/injected_file_faults.h
// installs it). Without a hook installed, files behave as the system makes them.
#pragma once

#include <cstdint>

namespace kestova {

enum class FileOperation { kWrite, kClose };

// Called before each CFile write and close. Returns 0 to let the operation happen, or the
// system error code it fails with. For a write, *length (the bytes asked for) may be
// lowered: that many bytes are written first, then the write fails.
using FileFaultHook = int (*)(FileOperation operation, uint32_t* length, void* context);

// Installs (or, with nullptr, removes) the hook for every CFile of the process.
void SetFileFaultHook(FileFaultHook hook, void* context);
bool FileFaultHookInstalled();
// The hook's answer for one operation; 0 without a hook.
int InjectedFileFault(FileOperation operation, uint32_t* length);

}  // namespace kestova
