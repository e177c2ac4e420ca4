#include "capture/win32/binding_list.h"

#include <cstring>

namespace kestova {
namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The service name is ASCII: a string equal to it without regard to case holds only ASCII
// letters, so no byte of it can be a double-byte character's lead or trail byte.
bool SameName(const std::string& text, const char* service) {
  const size_t length = std::strlen(service);
  if (text.size() != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (AsciiUpper(text[i]) != AsciiUpper(service[i])) return false;
  }
  return true;
}

}  // namespace

bool SplitBindingList(const char* data, size_t size, bool multiString,
                      std::vector<std::string>* strings) {
  strings->clear();
  size_t at = 0;
  while (at < size) {
    const void* end = std::memchr(data + at, '\0', size - at);
    if (end == nullptr) return false;
    const size_t length = static_cast<size_t>(static_cast<const char*>(end) - (data + at));
    if (length == 0) break;
    strings->push_back(std::string(data + at, length));
    if (!multiString) break;
    at += length + 1;
  }
  return true;
}

std::vector<std::string> UpdatedBindingList(const std::vector<std::string>& old,
                                            const char* service, bool add) {
  std::vector<std::string> updated;
  if (add) updated.push_back(service);
  for (const std::string& text : old) {
    if (!SameName(text, service)) updated.push_back(text);
  }
  return updated;
}

bool BindingListNames(const std::vector<std::string>& strings, const char* service) {
  for (const std::string& text : strings) {
    if (SameName(text, service)) return true;
  }
  return false;
}

std::string JoinBindingList(const std::vector<std::string>& strings) {
  std::string bytes;
  for (const std::string& text : strings) {
    bytes += text;
    bytes += '\0';
  }
  bytes += '\0';
  return bytes;
}

}  // namespace kestova
