// Files and folders.
//
// Paths are counted strings in the system code page. Both '\\' and '/' separate path
// components on every system: the POSIX body turns every '\\' into '/' before it
// calls the OS, so portable code may build paths with either.
//
// Every function may be called from any thread. None throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/counted_string.h"
#include "platform/system_error.h"
#include "platform/time.h"

namespace kestova {

// Confines the calling thread's file operations to `folder` for its lifetime (a
// session confines itself to its served folder). On Linux every operation below on a
// path under the folder then resolves it beneath the folder in the kernel (openat2
// with RESOLVE_BENEATH; the real path must lie inside where the kernel lacks openat2):
// a link on the way that leads outside makes the operation fail, a link that stays
// inside works. On Windows it has no effect: junctions and links are followed.
class CFolderConfinement {
 public:
  explicit CFolderConfinement(const CCountedString& folder);
  ~CFolderConfinement();
  CFolderConfinement(const CFolderConfinement&) = delete;
  CFolderConfinement& operator=(const CFolderConfinement&) = delete;

 private:
  std::string previous_;
};

// True when `path`, which lies inside `folder` as text, leads outside it through a link
// (judged as CFolderConfinement resolves; a path that does not exist yet by the part of
// it that does). Always false on Windows.
bool PathLeadsOutside(const CCountedString& folder, const CCountedString& path);

// Attributes of an existing path.
struct PathAttributes {
  bool isDirectory = false;
  bool isReadOnly = false;
};

// False when the path names nothing (or cannot be examined).
bool GetPathAttributes(const CCountedString& path, PathAttributes* attributes);
bool PathExists(const CCountedString& path);
bool IsDirectory(const CCountedString& path);
bool IsReadOnly(const CCountedString& path);  // false when the path does not exist
// True when anything bears the name, a link that leads nowhere included (PathExists
// follows links and so misses a dangling one).
bool NameIsTaken(const CCountedString& path);

enum class CreateFolderResult { kCreated, kAlreadyExists, kFailed };
// Creates one folder (its parent must exist). kAlreadyExists when the name is taken,
// by a folder or by a file.
CreateFolderResult CreateFolder(const CCountedString& path);
// Creates the folder and every missing parent. True when the final creation succeeds
// or the name already exists (as a folder or a file); false otherwise, and for an
// empty path. One trailing separator is ignored. Safe from several threads at once.
bool CreateFolderTree(const CCountedString& path);
bool RemoveFolder(const CCountedString& path);  // the folder must be empty
bool DeleteFileAt(const CCountedString& path);  // a file, not a folder
// Moves (renames) a file or a folder; fails when the target exists.
bool MovePath(const CCountedString& from, const CCountedString& to);

// One entry of a directory listing.
struct DirectoryEntry {
  CCountedString name;
  bool isDirectory = false;
  uint64_t size = 0;
  CalendarTime lastWriteUtc;  // as stored, in UTC
};

// Every entry of the folder, "." and ".." included where the system lists them, in
// the order the system returns them. False (and no entries) when the folder cannot
// be read.
bool ListDirectory(const CCountedString& folder, std::vector<DirectoryEntry>* entries);
// The entry of one existing path as ListDirectory shows it in its folder; the name is
// the path's last component. False when the path names nothing.
bool GetPathEntry(const CCountedString& path, DirectoryEntry* entry);
// Sets the last-write time of an existing file (not a folder) to `utc`. False when the
// path names no file, it is held open elsewhere, or the system refuses.
bool SetLastWriteTime(const CCountedString& path, const CalendarTime& utc);

// A file opened without sharing: while it is open, no other opener (in this process
// or another) can open the same file through CFile. Not copyable; closes on destruction.
class CFile {
 public:
  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens an existing file for reading. False when missing, a folder, or held open.
  bool OpenForRead(const CCountedString& path);
  // Opens for writing, creating the file or truncating an existing one to 0 bytes.
  // False when it cannot be created or is held open elsewhere.
  bool OpenForWrite(const CCountedString& path);
  // Creates a new file for writing; false when the name already exists (file or
  // folder), so nothing is ever overwritten.
  bool CreateNew(const CCountedString& path);
  // Opens an existing file for writing and keeps its content; the position is its
  // start. False when missing, a folder, or held open elsewhere.
  bool OpenExistingForWrite(const CCountedString& path);

  bool IsOpen() const;
  // Reads up to `capacity` bytes; 0 bytes read means end of file. False on error.
  bool Read(void* buffer, uint32_t capacity, uint32_t* bytesRead);
  // Writes all bytes; false when any could not be written (a full disk).
  bool Write(const void* buffer, uint32_t length);
  // The open file's size in bytes (64-bit).
  bool GetSize(uint64_t* size);
  // Moves the position to `offset` bytes from the start; the next Read or Write
  // begins there.
  bool Seek(uint64_t offset);
  // Closes the file; true when nothing was open or the close succeeded.
  bool Close();

  // The system's reason for this object's last failed operation (unset before any).
  const SystemError& LastError() const { return lastError_; }
  // Keeps `code` as the last failure: for moves the kernel makes on NativeHandle().
  void NoteFailure(int code);

  // The system's descriptor (POSIX) or handle (Windows) of the open file, for moves the
  // kernel makes between it and a socket.
#ifdef _WIN32
  void* NativeHandle() const { return handle_; }
#else
  int NativeHandle() const { return fd_; }
#endif

 private:
  // The system's write and close, behind the fault seam (platform/file_faults.h).
  bool WriteBody(const void* buffer, uint32_t length);
  bool CloseBody();

  SystemError lastError_;
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
  int fd_ = -1;
#endif
};

}  // namespace kestova
