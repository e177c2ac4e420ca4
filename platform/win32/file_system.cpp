// Files and folders through the ANSI (A) functions, so that paths are bytes in the
// system code page, as on a Japanese Windows. Windows takes both '\\' and '/' as
// separators itself, so paths are passed on unchanged.
#include "platform/file_system.h"

#include <windows.h>

#include "platform/path_text.h"

namespace kestova {
namespace {

CalendarTime CalendarTimeOf(const FILETIME& time) {
  SYSTEMTIME system;
  CalendarTime result;
  if (!FileTimeToSystemTime(&time, &system)) return result;
  result.year = system.wYear;
  result.month = system.wMonth;
  result.day = system.wDay;
  result.hour = system.wHour;
  result.minute = system.wMinute;
  result.second = system.wSecond;
  return result;
}

HANDLE HandleOf(void* handle) { return static_cast<HANDLE>(handle); }

DirectoryEntry EntryOf(const WIN32_FIND_DATAA& data) {
  DirectoryEntry item;
  item.name = CCountedString(data.cFileName);
  item.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  item.size =
      item.isDirectory ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  item.lastWriteUtc = CalendarTimeOf(data.ftLastWriteTime);
  return item;
}

}  // namespace

bool GetPathAttributes(const CCountedString& path, PathAttributes* attributes) {
  if (path.IsEmpty()) return false;
  const DWORD bits = GetFileAttributesA(path.CStr());
  if (bits == INVALID_FILE_ATTRIBUTES) return false;
  attributes->isDirectory = (bits & FILE_ATTRIBUTE_DIRECTORY) != 0;
  attributes->isReadOnly = (bits & FILE_ATTRIBUTE_READONLY) != 0;
  return true;
}

// Windows follows junctions and links like folders and files (see the README); the
// callers' containment of the path text is the rule there.
CFolderConfinement::CFolderConfinement(const CCountedString&) {}

CFolderConfinement::~CFolderConfinement() {}

bool PathLeadsOutside(const CCountedString&, const CCountedString&) { return false; }

bool NameIsTaken(const CCountedString& path) {
  // GetFileAttributes reports a reparse point itself, not what it leads to.
  return !path.IsEmpty() && GetFileAttributesA(path.CStr()) != INVALID_FILE_ATTRIBUTES;
}

CreateFolderResult CreateFolder(const CCountedString& path) {
  if (CreateDirectoryA(path.CStr(), nullptr)) return CreateFolderResult::kCreated;
  return GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::kAlreadyExists
                                                : CreateFolderResult::kFailed;
}

bool RemoveFolder(const CCountedString& path) { return RemoveDirectoryA(path.CStr()) != FALSE; }

bool DeleteFileAt(const CCountedString& path) { return DeleteFileA(path.CStr()) != FALSE; }

bool MovePath(const CCountedString& from, const CCountedString& to) {
  // MoveFileA never replaces an existing target.
  return MoveFileA(from.CStr(), to.CStr()) != FALSE;
}

bool ListDirectory(const CCountedString& folder, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  if (folder.IsEmpty()) return false;
  CCountedString pattern = folder;
  if (!EndsWithSeparator(pattern, CodePage::System())) pattern += "\\";
  pattern += "*";

  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA(pattern.CStr(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // An existing folder with no entries at all (a drive root) is listed as empty.
    return GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(folder);
  }
  std::vector<DirectoryEntry> found;
  do {
    found.push_back(EntryOf(data));
  } while (FindNextFileA(find, &data));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  if (!complete) return false;
  entries->swap(found);
  return true;
}

bool GetPathEntry(const CCountedString& path, DirectoryEntry* entry) {
  // A wildcard would make the search find some other entry.
  if (path.IsEmpty() || path.Find('*') != CCountedString::npos ||
      path.Find('?') != CCountedString::npos) {
    return false;
  }
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA(path.CStr(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    FindClose(find);
    *entry = EntryOf(data);
    return true;
  }
  // A drive root has no entry of its own to find.
  if (!IsDirectory(path)) return false;
  *entry = DirectoryEntry();
  entry->name = path;
  entry->isDirectory = true;
  return true;
}

CFile::~CFile() { Close(); }

namespace {

// Opens without sharing (share mode 0): while this handle is open, every other open
// of the file fails with a sharing violation.
HANDLE OpenUnshared(const CCountedString& path, DWORD access, DWORD disposition) {
  if (path.IsEmpty()) return INVALID_HANDLE_VALUE;
  return CreateFileA(path.CStr(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool CFile::OpenForRead(const CCountedString& path) {
  Close();
  handle_ = OpenUnshared(path, GENERIC_READ, OPEN_EXISTING);
  if (!IsOpen()) NoteFailure(static_cast<int>(GetLastError()));
  return IsOpen();
}

bool CFile::OpenForWrite(const CCountedString& path) {
  Close();
  // CREATE_ALWAYS empties the file only after the open (and its sharing check) succeeded.
  handle_ = OpenUnshared(path, GENERIC_WRITE, CREATE_ALWAYS);
  if (!IsOpen()) NoteFailure(static_cast<int>(GetLastError()));
  return IsOpen();
}

bool CFile::CreateNew(const CCountedString& path) {
  Close();
  handle_ = OpenUnshared(path, GENERIC_WRITE, CREATE_NEW);
  if (!IsOpen()) NoteFailure(static_cast<int>(GetLastError()));
  return IsOpen();
}

bool CFile::OpenExistingForWrite(const CCountedString& path) {
  Close();
  handle_ = OpenUnshared(path, GENERIC_WRITE, OPEN_EXISTING);
  if (!IsOpen()) NoteFailure(static_cast<int>(GetLastError()));
  return IsOpen();
}

bool CFile::GetSize(uint64_t* size) {
  if (!IsOpen()) return false;
  DWORD high = 0;
  const DWORD low = GetFileSize(HandleOf(handle_), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    NoteFailure(static_cast<int>(GetLastError()));
    return false;
  }
  *size = (static_cast<uint64_t>(high) << 32) | low;
  return true;
}

bool CFile::Seek(uint64_t offset) {
  if (!IsOpen() || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  const DWORD low =
      SetFilePointer(HandleOf(handle_), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool CFile::IsOpen() const { return HandleOf(handle_) != INVALID_HANDLE_VALUE; }

bool CFile::Read(void* buffer, uint32_t capacity, uint32_t* bytesRead) {
  *bytesRead = 0;
  if (!IsOpen()) return false;
  DWORD got = 0;
  if (!ReadFile(HandleOf(handle_), buffer, capacity, &got, nullptr)) {
    NoteFailure(static_cast<int>(GetLastError()));
    return false;
  }
  *bytesRead = got;
  return true;
}

bool CFile::WriteBody(const void* buffer, uint32_t length) {
  if (!IsOpen()) return false;
  const char* bytes = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < length) {
    DWORD put = 0;
    if (!WriteFile(HandleOf(handle_), bytes + done, length - done, &put, nullptr) || put == 0) {
      NoteFailure(put == 0 && GetLastError() == NO_ERROR ? ERROR_DISK_FULL
                                                        : static_cast<int>(GetLastError()));
      return false;  // a full disk
    }
    done += put;
  }
  return true;
}

bool CFile::CloseBody() {
  const HANDLE handle = HandleOf(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  if (CloseHandle(handle) != FALSE) return true;
  NoteFailure(static_cast<int>(GetLastError()));
  return false;
}

bool SetLastWriteTime(const CCountedString& path, const CalendarTime& utc) {
  if (path.IsEmpty() || IsDirectory(path)) return false;
  SYSTEMTIME system{};
  system.wYear = static_cast<WORD>(utc.year);
  system.wMonth = static_cast<WORD>(utc.month);
  system.wDay = static_cast<WORD>(utc.day);
  system.wHour = static_cast<WORD>(utc.hour);
  system.wMinute = static_cast<WORD>(utc.minute);
  system.wSecond = static_cast<WORD>(utc.second);
  FILETIME written;
  if (!SystemTimeToFileTime(&system, &written)) return false;
  const HANDLE file = CreateFileA(path.CStr(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool set = SetFileTime(file, nullptr, nullptr, &written) != 0;
  CloseHandle(file);
  return set;
}

}  // namespace kestova
