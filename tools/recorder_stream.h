// The programme stream kestov-recorder sends: a 2048-byte header whose bytes 132-195
// carry the Shift_JIS title (zero-filled), followed by the payload. Or a file sent
// unchanged (--raw).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/recorder_options.h"

namespace kestova {

constexpr uint32_t kRecorderHeaderSize = 2048;

// The header block: "KSTV" at 0, zeros elsewhere, the title at 132 (at most 64 bytes).
std::string BuildProgrammeHeader(const std::string& titleShiftJis);

// Deterministic payload bytes: the same seed and offset always give the same bytes.
void FillGeneratedPayload(uint32_t seed, uint64_t offset, char* buffer, uint32_t length);

class CProgrammeStream {
 public:
  CProgrammeStream() = default;
  ~CProgrammeStream();
  CProgrammeStream(const CProgrammeStream&) = delete;
  CProgrammeStream& operator=(const CProgrammeStream&) = delete;

  // Prepares the stream the options describe; false with `error` when a file cannot
  // be read.
  bool Open(const RecorderOptions& options, std::string* error);
  uint64_t Size() const { return size_; }
  // The file that is the whole stream as it is (--raw), or empty.
  const std::string& WholeFile() const { return wholeFile_; }
  // The next up to `capacity` bytes; 0 at the end. False when a file read fails.
  bool Read(char* buffer, uint32_t capacity, uint32_t* length);

 private:
  std::string header_;  // sent first (empty for a raw file)
  std::string wholeFile_;
  std::FILE* file_ = nullptr;
  uint32_t seed_ = 1;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
};

// Writes the whole stream the options describe into `path` (--write-stream); false with
// `error` when a file cannot be read or written.
bool WriteProgrammeStream(const RecorderOptions& options, const std::string& path,
                          std::string* error);

}  // namespace kestova
