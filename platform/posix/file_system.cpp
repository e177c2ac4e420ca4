// Files and folders on POSIX systems. Every path goes through NativePath first.
//
// Exclusive opens: every CFile holds an flock(LOCK_EX) on its open file description
// for as long as it is open. A second CFile open of the same file, from this process
// or another, fails its non-blocking lock and gives up, as a Windows open without
// sharing fails with a sharing violation.
#include "platform/file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <limits>

#include "platform/posix/confined_path.h"
#include "platform/posix/native_path.h"

namespace kestova {
namespace {

CalendarTime UtcCalendarTime(time_t seconds) {
  CalendarTime result;
  tm utc{};
  if (gmtime_r(&seconds, &utc) == nullptr) return result;
  result.year = utc.tm_year + 1900;
  result.month = utc.tm_mon + 1;
  result.day = utc.tm_mday;
  result.hour = utc.tm_hour;
  result.minute = utc.tm_min;
  result.second = utc.tm_sec > 59 ? 59 : utc.tm_sec;
  return result;
}

// Read-only as Windows means it: nobody may write (no write permission bit), or we
// may not (someone else's file, a read-only mount).
bool ReadOnlyFromStat(const std::string& path, const struct stat& status) {
  if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return access(path.c_str(), W_OK) != 0;
}

// stat of a path whose links are followed only within the confinement folder.
bool StatConfined(const std::string& native, struct stat* status) {
  const int fd = OpenConfined(native, O_PATH | O_CLOEXEC);
  if (fd < 0) return false;
  const bool known = fstat(fd, status) == 0;
  close(fd);
  return known;
}

// fstatat that follows a link only within the confinement folder.
bool StatFollowingInside(int folderFd, const std::string& folder, const char* name,
                         struct stat* status) {
  if (fstatat(folderFd, name, status, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return !S_ISLNK(status->st_mode) || StatConfined(folder + "/" + name, status);
}

}  // namespace

bool GetPathAttributes(const CCountedString& path, PathAttributes* attributes) {
  const std::string native = NativePath(path);
  struct stat status;
  if (native.empty() || !StatConfined(native, &status)) return false;
  attributes->isDirectory = S_ISDIR(status.st_mode);
  attributes->isReadOnly = ReadOnlyFromStat(native, status);
  return true;
}

CFolderConfinement::CFolderConfinement(const CCountedString& folder)
    : previous_(ThreadConfinement()) {
  SetThreadConfinement(NativePath(folder));
}

CFolderConfinement::~CFolderConfinement() { SetThreadConfinement(previous_); }

bool PathLeadsOutside(const CCountedString& folder, const CCountedString& path) {
  return LeadsOutside(NativePath(folder), NativePath(path));
}

bool NameIsTaken(const CCountedString& path) {
  const std::string native = NativePath(path);
  CPathAt at;
  struct stat status;
  return !native.empty() && at.Prepare(native) &&
         fstatat(at.Folder(), at.Name(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

CreateFolderResult CreateFolder(const CCountedString& path) {
  CPathAt at;
  if (!at.Prepare(NativePath(path))) return CreateFolderResult::kFailed;
  if (mkdirat(at.Folder(), at.Name(), 0777) == 0) return CreateFolderResult::kCreated;
  return errno == EEXIST ? CreateFolderResult::kAlreadyExists : CreateFolderResult::kFailed;
}

bool RemoveFolder(const CCountedString& path) {
  CPathAt at;
  return at.Prepare(NativePath(path)) && unlinkat(at.Folder(), at.Name(), AT_REMOVEDIR) == 0;
}

bool DeleteFileAt(const CCountedString& path) {
  CPathAt at;
  struct stat status;
  if (!at.Prepare(NativePath(path)) ||
      fstatat(at.Folder(), at.Name(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
      S_ISDIR(status.st_mode)) {
    return false;
  }
  return unlinkat(at.Folder(), at.Name(), 0) == 0;
}

bool MovePath(const CCountedString& from, const CCountedString& to) {
  CPathAt source;
  CPathAt target;
  if (!source.Prepare(NativePath(from)) || !target.Prepare(NativePath(to))) return false;
#ifdef RENAME_NOREPLACE
  // Atomic: the target cannot appear between a check and the rename.
  if (renameat2(source.Folder(), source.Name(), target.Folder(), target.Name(), RENAME_NOREPLACE) ==
      0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot rename without replacing: check first, then rename.
#endif
  struct stat status;
  if (fstatat(target.Folder(), target.Name(), &status, AT_SYMLINK_NOFOLLOW) == 0 ||
      errno != ENOENT) {
    return false;
  }
  return renameat(source.Folder(), source.Name(), target.Folder(), target.Name()) == 0;
}

bool ListDirectory(const CCountedString& folder, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  const std::string native = NativePath(folder);
  const int folderFd = OpenConfined(native, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return false;
  DIR* directory = fdopendir(folderFd);
  if (directory == nullptr) {
    close(folderFd);
    return false;
  }
  const int dirFd = dirfd(directory);
  std::vector<DirectoryEntry> found;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(directory);
    if (entry == nullptr) break;
    DirectoryEntry item;
    item.name = CCountedString(entry->d_name);
    struct stat status;
    // A link shows what it points to when that lies inside the confinement folder;
    // otherwise (dangling, or leading outside) it shows itself.
    if (StatFollowingInside(dirFd, native, entry->d_name, &status) ||
        fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0) {
      item.isDirectory = S_ISDIR(status.st_mode);
      item.size = item.isDirectory ? 0 : static_cast<uint64_t>(status.st_size);
      item.lastWriteUtc = UtcCalendarTime(status.st_mtime);
    }
    found.push_back(item);
  }
  const bool complete = (errno == 0);
  closedir(directory);
  if (!complete) return false;
  entries->swap(found);
  return true;
}

bool GetPathEntry(const CCountedString& path, DirectoryEntry* entry) {
  const std::string native = NativePath(path);
  // As GetPathAttributes: a link shows what it points to, if that lies inside.
  struct stat status;
  if (native.empty() || !StatConfined(native, &status)) return false;
  const size_t slash = native.find_last_of('/');
  *entry = DirectoryEntry();
  entry->name = CCountedString((slash == std::string::npos || slash + 1 == native.size())
                                   ? native.c_str()
                                   : native.c_str() + slash + 1);
  entry->isDirectory = S_ISDIR(status.st_mode);
  entry->size = entry->isDirectory ? 0 : static_cast<uint64_t>(status.st_size);
  entry->lastWriteUtc = UtcCalendarTime(status.st_mtime);
  return true;
}

bool SetLastWriteTime(const CCountedString& path, const CalendarTime& utc) {
  const std::string native = NativePath(path);
  if (native.empty()) return false;
  tm fields{};
  fields.tm_year = utc.year - 1900;
  fields.tm_mon = utc.month - 1;
  fields.tm_mday = utc.day;
  fields.tm_hour = utc.hour;
  fields.tm_min = utc.minute;
  fields.tm_sec = utc.second;
  const time_t seconds = timegm(&fields);
  const int fd = OpenConfined(native, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  // Last access stays as it is; only the last write changes.
  const timespec times[2] = {{0, UTIME_OMIT}, {seconds, 0}};
  const bool set = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && futimens(fd, times) == 0;
  close(fd);
  return set;
}

CFile::~CFile() { Close(); }

namespace {

// Takes the exclusive lock of a freshly opened descriptor and checks that it names a
// regular file; closes it and gives -1 otherwise.
// On failure errno tells why (EISDIR or EINVAL for something other than a file).
int LockRegularFile(int fd) {
  if (fd < 0) return -1;
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int reason = errno;
    if (reason == 0 || (fstat(fd, &status) == 0 && !S_ISREG(status.st_mode))) {
      reason = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    }
    close(fd);
    errno = reason;
    return -1;
  }
  return fd;
}

}  // namespace

bool CFile::OpenForRead(const CCountedString& path) {
  Close();
  // O_NONBLOCK keeps a FIFO from blocking the open; it is no regular file and is refused.
  const int fd = OpenConfined(NativePath(path), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  fd_ = LockRegularFile(fd);
  if (fd_ < 0) NoteFailure(errno);
  if (fd_ >= 0) fcntl(fd_, F_SETFL, 0);
  return fd_ >= 0;
}

bool CFile::OpenForWrite(const CCountedString& path) {
  Close();
  // No O_TRUNC: the file is emptied only once its lock is ours, never under another holder.
  const int fd =
      OpenConfined(NativePath(path), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  fd_ = LockRegularFile(fd);
  if (fd_ < 0) {
    NoteFailure(errno);
    return false;
  }
  fcntl(fd_, F_SETFL, 0);
  if (ftruncate(fd_, 0) != 0) {
    NoteFailure(errno);
    Close();
    return false;
  }
  return true;
}

bool CFile::CreateNew(const CCountedString& path) {
  Close();
  // O_EXCL fails for any existing name: a file, a folder, even a dangling link.
  const int fd =
      OpenConfined(NativePath(path), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  fd_ = LockRegularFile(fd);
  if (fd_ < 0) NoteFailure(errno);
  return fd_ >= 0;
}

bool CFile::OpenExistingForWrite(const CCountedString& path) {
  Close();
  const int fd = OpenConfined(NativePath(path), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  fd_ = LockRegularFile(fd);
  if (fd_ < 0) NoteFailure(errno);
  if (fd_ >= 0) fcntl(fd_, F_SETFL, 0);
  return fd_ >= 0;
}

bool CFile::GetSize(uint64_t* size) {
  struct stat status;
  if (fd_ < 0) return false;
  if (fstat(fd_, &status) != 0) {
    NoteFailure(errno);
    return false;
  }
  *size = static_cast<uint64_t>(status.st_size);
  return true;
}

bool CFile::Seek(uint64_t offset) {
  if (fd_ < 0 || offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
  return lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool CFile::IsOpen() const { return fd_ >= 0; }

bool CFile::Read(void* buffer, uint32_t capacity, uint32_t* bytesRead) {
  *bytesRead = 0;
  if (fd_ < 0) return false;
  for (;;) {
    const ssize_t got = read(fd_, buffer, capacity);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      NoteFailure(errno);
      return false;
    }
    *bytesRead = static_cast<uint32_t>(got);
    return true;
  }
}

bool CFile::WriteBody(const void* buffer, uint32_t length) {
  if (fd_ < 0) return false;
  const char* bytes = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < length) {
    const ssize_t put = write(fd_, bytes + done, length - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {  // a full disk: ENOSPC, or nothing written at all
      NoteFailure(put < 0 ? errno : ENOSPC);
      return false;
    }
    done += static_cast<uint32_t>(put);
  }
  return true;
}

bool CFile::CloseBody() {
  const int fd = fd_;
  fd_ = -1;
  // Never retried: after EINTR the descriptor is already gone on Linux.
  if (close(fd) == 0) return true;
  NoteFailure(errno);
  return false;
}

}  // namespace kestova
