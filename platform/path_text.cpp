#include "platform/path_text.h"

namespace kestova {
namespace {

// Calls `visit(offset, byte)` for the first byte of every character of the path and
// stops early when it returns false. Trail bytes are never visited, and a lead byte
// (0x81 and above) is never a separator or a dot.
template <typename Visit>
void ForEachCharacter(const CCountedString& path, size_t start, const CodePage& codePage,
                      Visit visit) {
  const char* text = path.CStr();
  const size_t length = path.Length();
  size_t offset = start;
  while (offset < length) {
    if (!visit(offset, text[offset])) return;
    offset += codePage.CharLength(text + offset, static_cast<unsigned long>(length - offset));
  }
}

// Offset of the last single-byte `wanted` character (any separator when `wanted` is
// 0) at or after `start`, npos when there is none.
size_t FindLastOf(const CCountedString& path, size_t start, char wanted, const CodePage& codePage) {
  size_t found = CCountedString::npos;
  ForEachCharacter(path, start, codePage, [&](size_t offset, char c) {
    if ((wanted == 0) ? IsPathSeparator(c) : (c == wanted)) found = offset;
    return true;
  });
  return found;
}

}  // namespace

size_t FindNextSeparator(const CCountedString& path, size_t start, const CodePage& codePage) {
  size_t found = CCountedString::npos;
  ForEachCharacter(path, start, codePage, [&](size_t offset, char c) {
    if (IsPathSeparator(c)) {
      found = offset;
      return false;
    }
    return true;
  });
  return found;
}

size_t FindLastSeparator(const CCountedString& path, const CodePage& codePage) {
  return FindLastOf(path, 0, 0, codePage);
}

bool EndsWithSeparator(const CCountedString& path, const CodePage& codePage) {
  const size_t last = FindLastSeparator(path, codePage);
  return last != CCountedString::npos && last + 1 == path.Length();
}

CCountedString FolderOf(const CCountedString& path, const CodePage& codePage) {
  const size_t last = FindLastSeparator(path, codePage);
  if (last == CCountedString::npos) return CCountedString();
  return path.Left(last + 1);
}

CCountedString SettingsPathFor(const CCountedString& modulePath, const CodePage& codePage) {
  const size_t separator = FindLastSeparator(modulePath, codePage);
  const size_t nameStart = (separator == CCountedString::npos) ? 0 : separator + 1;
  const size_t dot = FindLastOf(modulePath, nameStart, '.', codePage);
  CCountedString result;
  if (dot != CCountedString::npos) result = modulePath.Left(dot + 1);
  result += "ini";
  return result;
}

}  // namespace kestova
