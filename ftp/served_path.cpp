#include "ftp/served_path.h"

#include <vector>

#include "base/code_page.h"
#include "platform/file_system.h"

namespace kestova {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// "..." or ".. " and the like: names Windows would shorten to a dot reference.
bool IsDotsAndSpacesOnly(const CCountedString& component) {
  for (size_t i = 0; i < component.Length(); ++i) {
    if (component[i] != '.' && component[i] != ' ') return false;
  }
  return true;
}

// CON, NUL, COM1 and the like name devices on Windows in every folder, with any
// extension ("nul.txt") and in the DOS spelling with a colon ("NUL:"): opening one would
// read a console or a serial port instead of a file. Refused on every system, so that
// the service behaves the same everywhere.
bool IsDeviceName(const CCountedString& component) {
  size_t end = component.Find('.');
  const size_t colon = component.Find(':');
  if (colon < end) end = colon;
  if (end == CCountedString::npos) end = component.Length();
  CCountedString base = component.Left(end);
  base.TrimRight();
  base.MakeUpper();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$") {
    return true;
  }
  return base.Length() == 4 && (base.StartsWith("COM") || base.StartsWith("LPT")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool ResolvePathComponents(const CCountedString& path, CCountedString* resolved) {
  const CodePage& codePage = CodePage::System();
  const char* text = path.CStr();
  const size_t length = path.Length();

  size_t position = 0;
  CCountedString prefix;
  while (position < length && position < 2 && IsSeparator(text[position])) {
    prefix.AppendChar('\\');
    ++position;
  }

  std::vector<CCountedString> components;
  while (position <= length) {
    size_t end = position;
    while (end < length && !IsSeparator(text[end])) {
      end += codePage.CharLength(text + end, static_cast<unsigned long>(length - end));
    }
    if (end > length) end = length;
    CCountedString component(text + position, end - position);
    if (component.IsEmpty() || component == ".") {
      // nothing to keep
    } else if (component == "..") {
      const bool anchorOnly = prefix.IsEmpty() && components.size() == 1;
      if (components.empty() || anchorOnly) return false;
      components.pop_back();
    } else if (IsDotsAndSpacesOnly(component) || IsDeviceName(component)) {
      return false;
    } else {
      components.push_back(component);
    }
    position = end + 1;
  }

  CCountedString result = prefix;
  for (size_t i = 0; i < components.size(); ++i) {
    if (i > 0) result.AppendChar('\\');
    result.Append(components[i]);
  }
  // A drive alone keeps its separator: "D:" would name the drive's current folder.
  if (prefix.IsEmpty() && components.size() == 1 && components[0].EndsWith(":")) {
    result.AppendChar('\\');
  }
  *resolved = result;
  return true;
}

bool IsInsideFolder(const CCountedString& resolvedRoot, const CCountedString& resolvedPath,
                    const CodePage& codePage) {
  const size_t rootLength = resolvedRoot.Length();
  if (resolvedPath.Length() < rootLength) return false;
  if (resolvedPath.Left(rootLength) != resolvedRoot) return false;
  if (resolvedPath.Length() == rootLength) return true;
  // The root must end at a component boundary of the path. A root that is only a
  // prefix ("\" or "\\") or a drive ("D:\") already ends with a separator; a final
  // 0x5C that is the trail byte of a double-byte character is none.
  if (rootLength > 0 &&
      resolvedRoot.FindLast('\\', CCountedString::npos, codePage) == rootLength - 1) {
    return true;
  }
  return resolvedPath.FindLast('\\', rootLength, codePage) == rootLength;
}

bool ResolveInsideFolder(const CCountedString& rootFolder, const CCountedString& path,
                         CCountedString* resolved) {
  CCountedString root;
  CCountedString target;
  if (!ResolvePathComponents(rootFolder, &root)) return false;
  if (!ResolvePathComponents(path, &target)) return false;
  if (!IsInsideFolder(root, target)) return false;
  *resolved = target;
  return true;
}

bool NameMayBeCreated(const CCountedString& argument, const CCountedString& resolvedPath) {
  if (resolvedPath.Length() > kLongestCreatedPath) return false;
  const char* bytes = argument.CStr();
  size_t component = 0;
  for (size_t i = 0; i < argument.Length(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x20 || byte == 0x7F) return false;
    component = byte == '/' || byte == '\\' ? 0 : component + 1;
    if (component > kLongestName) return false;
  }
  return true;
}

bool TreeMayMoveTo(const CCountedString& folder, const CCountedString& target) {
  if (target.Length() > kLongestCreatedPath) return false;
  const size_t room = kLongestCreatedPath - target.Length();
  // Each pending folder with the length of its path below `folder` (separator included).
  std::vector<std::pair<CCountedString, size_t>> pending;
  pending.emplace_back(WithTrailingSeparator(folder), 0);
  size_t walked = 0;
  std::vector<DirectoryEntry> entries;
  while (!pending.empty()) {
    const std::pair<CCountedString, size_t> current = pending.back();
    pending.pop_back();
    if (!ListDirectory(current.first, &entries)) continue;
    for (const DirectoryEntry& entry : entries) {
      if (entry.name == "." || entry.name == "..") continue;
      if (++walked > kMostEntriesWalked) return false;
      const size_t below = current.second + 1 + entry.name.Length();
      if (below > room) return false;
      if (!entry.isDirectory) continue;
      CCountedString path = current.first;
      path.Append(entry.name);
      pending.emplace_back(WithTrailingSeparator(path), below);
    }
  }
  return true;
}

CCountedString WithTrailingSeparator(const CCountedString& folder) {
  const size_t length = folder.Length();
  if (length > 0) {
    // The last byte can be the trail byte of a double-byte character: find the
    // last separator code-page aware and see whether it is the final byte.
    const size_t lastBackslash = folder.FindLast('\\');
    const size_t lastSlash = folder.FindLast('/');
    if (lastBackslash == length - 1 || lastSlash == length - 1) return folder;
  }
  const bool posixStyle =
      folder.Find('/') != CCountedString::npos && folder.Find('\\') == CCountedString::npos;
  CCountedString result = folder;
  result.AppendChar(posixStyle ? '/' : '\\');
  return result;
}

}  // namespace kestova
