#include "platform/module.h"

#include <unistd.h>

#include <vector>

namespace kestova {

CCountedString GetModulePath() {
  // readlink does not say when the name was cut, so the buffer grows until it fits.
  for (size_t size = 256; size <= 65536; size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), size);
    if (length < 0) return CCountedString();
    if (static_cast<size_t>(length) < size) {
      return CCountedString(buffer.data(), static_cast<size_t>(length));
    }
  }
  return CCountedString();
}

}  // namespace kestova
