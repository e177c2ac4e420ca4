#include "tools/recorder_stream.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace kestova {

std::string BuildProgrammeHeader(const std::string& titleShiftJis) {
  std::string header(kRecorderHeaderSize, '\0');
  std::memcpy(&header[0], "KSTV", 4);
  size_t length = titleShiftJis.size() < 64 ? titleShiftJis.size() : 64;
  std::memcpy(&header[132], titleShiftJis.data(), length);
  return header;
}

void FillGeneratedPayload(uint32_t seed, uint64_t offset, char* buffer, uint32_t length) {
  for (uint32_t i = 0; i < length;) {
    uint64_t block = (offset + i) / 8;
    // splitmix64 of (seed, block): every 8-byte block of the payload is independent.
    uint64_t z = block * 0x9E3779B97F4A7C15ull + (static_cast<uint64_t>(seed) << 32) + seed;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    uint32_t within = static_cast<uint32_t>((offset + i) % 8);
    for (; within < 8 && i < length; ++within, ++i) {
      buffer[i] = static_cast<char>(z >> (8 * within));
    }
  }
}

CProgrammeStream::~CProgrammeStream() {
  if (file_ != nullptr) std::fclose(file_);
}

bool CProgrammeStream::Open(const RecorderOptions& options, std::string* error) {
  seed_ = options.seed;
  position_ = 0;
  const std::string& path = !options.rawFile.empty() ? options.rawFile : options.payloadFile;
  if (path.empty()) {
    header_ = BuildProgrammeHeader(options.titleShiftJis);
    if (options.size < header_.size()) header_.resize(static_cast<size_t>(options.size));
    size_ = options.size;
    return true;
  }
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr || std::fseek(file_, 0, SEEK_END) != 0) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  long long fileSize = ftello(file_);
  std::fseek(file_, 0, SEEK_SET);
  if (fileSize < 0) {
    *error = "cannot tell the size of " + path;
    return false;
  }
  header_ = options.rawFile.empty() ? BuildProgrammeHeader(options.titleShiftJis) : std::string();
  wholeFile_ = options.rawFile;
  size_ = header_.size() + static_cast<uint64_t>(fileSize);
  return true;
}

bool CProgrammeStream::Read(char* buffer, uint32_t capacity, uint32_t* length) {
  *length = 0;
  uint64_t left = size_ - position_;
  uint32_t want = left < capacity ? static_cast<uint32_t>(left) : capacity;
  while (*length < want && position_ < header_.size()) {
    buffer[(*length)++] = header_[static_cast<size_t>(position_++)];
  }
  if (*length == want) return true;
  uint32_t rest = want - *length;
  if (file_ != nullptr) {
    size_t got = std::fread(buffer + *length, 1, rest, file_);
    if (got != rest) return false;  // the file shrank or failed
  } else {
    FillGeneratedPayload(seed_, position_, buffer + *length, rest);
  }
  position_ += rest;
  *length += rest;
  return true;
}

bool WriteProgrammeStream(const RecorderOptions& options, const std::string& path,
                          std::string* error) {
  CProgrammeStream stream;
  if (!stream.Open(options, error)) return false;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> block(1 << 20);
  bool ok = true;
  for (uint32_t length = 0; ok;) {
    ok = stream.Read(block.data(), static_cast<uint32_t>(block.size()), &length);
    if (!ok) *error = "cannot read the programme file";
    if (!ok || length == 0) break;
    ok = std::fwrite(block.data(), 1, length, out) == length;
    if (!ok) *error = "cannot write " + path + ": " + std::strerror(errno);
  }
  if (std::fclose(out) != 0 && ok) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    ok = false;
  }
  return ok;
}

}  // namespace kestova
