#include "platform/test_support/scratch_folder.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/file_system.h"

namespace kestova {
namespace testing {
namespace {

CCountedString TemporaryRoot() {
  for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return CCountedString(value);
  }
#ifdef _WIN32
  return CCountedString("C:\\windows\\temp");
#else
  return CCountedString("/tmp");
#endif
}

// Removes a folder and everything in it, at most kMaxRemovalDepth folders deep.
constexpr int kMaxRemovalDepth = 16;

bool RemoveTreeAtDepth(const CCountedString& folder, int depth) {
  std::vector<DirectoryEntry> entries;
  if (depth < kMaxRemovalDepth) ListDirectory(folder, &entries);
  CCountedString base = folder;
  if (!base.EndsWith("/") && !base.EndsWith("\\")) base.AppendChar('/');
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const CCountedString child = base + entry.name;
    if (entry.isDirectory) {
      RemoveTreeAtDepth(child, depth + 1);
    } else {
      DeleteFileAt(child);
    }
  }
  return RemoveFolder(folder);
}

}  // namespace

CScratchFolder::CScratchFolder() {
  static std::atomic<unsigned> counter{0};
  CCountedString root = TemporaryRoot();
  if (!root.EndsWith("/") && !root.EndsWith("\\")) root.AppendChar('/');
  const unsigned long long stamp =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    CCountedString candidate = root;
    candidate.AppendFormat("kestova-test-%llx-%u/", stamp, counter.fetch_add(1));
    if (CreateFolder(candidate) == CreateFolderResult::kCreated) {
      path_ = candidate;
      return;
    }
  }
  std::abort();  // no scratch folder, no test
}

CScratchFolder::~CScratchFolder() {
  if (!path_.IsEmpty()) RemoveTree(path_);
}

CCountedString CScratchFolder::PathWithoutSeparator() const {
  return path_.Left(path_.Length() - 1);
}

CCountedString CScratchFolder::PathOf(const std::string& relative) const {
  return path_ + relative.c_str();
}

bool RemoveTree(const CCountedString& folder) { return RemoveTreeAtDepth(folder, 0); }

bool WriteWholeFile(const CCountedString& path, const std::string& content) {
  CFile file;
  return file.OpenForWrite(path) &&
         file.Write(content.data(), static_cast<uint32_t>(content.size())) && file.Close();
}

std::string ReadWholeFile(const CCountedString& path, bool* exists) {
  CFile file;
  const bool opened = file.OpenForRead(path);
  if (exists != nullptr) *exists = opened;
  std::string content;
  if (!opened) return content;
  std::vector<char> buffer(65536);
  uint32_t got = 0;
  while (file.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), &got) && got > 0) {
    content.append(buffer.data(), got);
  }
  return content;
}

std::string PatternBytes(size_t length, unsigned seed) {
  std::string bytes(length, '\0');
  uint32_t state = 2166136261u ^ seed;
  for (size_t i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace testing
}  // namespace kestova
