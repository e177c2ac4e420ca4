// A scratch folder for one test, removed with everything in it by the destructor. Built on
// platform/ alone, so the tests of every layer use it, natively and under Wine alike.
#pragma once

#include <string>

#include "base/counted_string.h"

namespace kestova {
namespace testing {

class CScratchFolder {
 public:
  // Creates a new, empty folder below the system's temporary folder; aborts the test program
  // when none can be made.
  CScratchFolder();
  ~CScratchFolder();
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;

  // The folder's path, ending with a separator.
  const CCountedString& Path() const { return path_; }
  // The folder's path without the final separator (for checks of how paths may be written).
  CCountedString PathWithoutSeparator() const;
  // Path() + relative ('/' separated).
  CCountedString PathOf(const std::string& relative) const;

 private:
  CCountedString path_;
};

// Removes a folder with everything below it (at most 16 folders deep); true when it is gone.
bool RemoveTree(const CCountedString& folder);
// Whole-file helpers (through CFile); ReadWholeFile gives "" for a missing file and
// sets *exists when given.
bool WriteWholeFile(const CCountedString& path, const std::string& content);
std::string ReadWholeFile(const CCountedString& path, bool* exists = nullptr);
// Deterministic bytes of the given length, different for each seed.
std::string PatternBytes(size_t length, unsigned seed);

}  // namespace testing
}  // namespace kestova
