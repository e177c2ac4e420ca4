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

}  // namespace

bool GetPathAttributes(const CCountedString& path, PathAttributes* attributes) {
  const std::string native = NativePath(path);
  struct stat status;
  if (native.empty() || stat(native.c_str(), &status) != 0) return false;
  attributes->isDirectory = S_ISDIR(status.st_mode);
  attributes->isReadOnly = ReadOnlyFromStat(native, status);
  return true;
}

bool NameIsTaken(const CCountedString& path) {
  const std::string native = NativePath(path);
  struct stat status;
  return !native.empty() && lstat(native.c_str(), &status) == 0;
}

CreateFolderResult CreateFolder(const CCountedString& path) {
  const std::string native = NativePath(path);
  if (mkdir(native.c_str(), 0777) == 0) return CreateFolderResult::kCreated;
  return errno == EEXIST ? CreateFolderResult::kAlreadyExists : CreateFolderResult::kFailed;
}

bool RemoveFolder(const CCountedString& path) { return rmdir(NativePath(path).c_str()) == 0; }

bool DeleteFileAt(const CCountedString& path) {
  const std::string native = NativePath(path);
  struct stat status;
  if (lstat(native.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return false;
  return unlink(native.c_str()) == 0;
}

bool MovePath(const CCountedString& from, const CCountedString& to) {
  const std::string source = NativePath(from);
  const std::string target = NativePath(to);
#ifdef RENAME_NOREPLACE
  // Atomic: the target cannot appear between a check and the rename.
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
    // The file system cannot rename without replacing: check first, then rename.
#endif
  struct stat status;
  if (lstat(target.c_str(), &status) == 0 || errno != ENOENT) return false;
  return rename(source.c_str(), target.c_str()) == 0;
}

bool ListDirectory(const CCountedString& folder, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  DIR* directory = opendir(NativePath(folder).c_str());
  if (directory == nullptr) return false;
  const int dirFd = dirfd(directory);
  std::vector<DirectoryEntry> found;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(directory);
    if (entry == nullptr) break;
    DirectoryEntry item;
    item.name = CCountedString(entry->d_name);
    struct stat status;
    // A link shows what it points to; a dangling link shows itself.
    if (fstatat(dirFd, entry->d_name, &status, 0) == 0 ||
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

CFile::~CFile() { Close(); }

namespace {

// Takes the exclusive lock of a freshly opened descriptor and checks that it names a
// regular file; closes it and gives -1 otherwise.
int LockRegularFile(int fd) {
  if (fd < 0) return -1;
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool CFile::OpenForRead(const CCountedString& path) {
  Close();
  // O_NONBLOCK keeps a FIFO from blocking the open; it is no regular file and is refused.
  const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  fd_ = LockRegularFile(fd);
  if (fd_ >= 0) fcntl(fd_, F_SETFL, 0);
  return fd_ >= 0;
}

bool CFile::OpenForWrite(const CCountedString& path) {
  Close();
  // No O_TRUNC: the file is emptied only once its lock is ours, never under another holder.
  const int fd =
      open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  fd_ = LockRegularFile(fd);
  if (fd_ < 0) return false;
  fcntl(fd_, F_SETFL, 0);
  if (ftruncate(fd_, 0) != 0) {
    Close();
    return false;
  }
  return true;
}

bool CFile::CreateNew(const CCountedString& path) {
  Close();
  // O_EXCL fails for any existing name: a file, a folder, even a dangling link.
  const int fd =
      open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  fd_ = LockRegularFile(fd);
  return fd_ >= 0;
}

bool CFile::IsOpen() const { return fd_ >= 0; }

bool CFile::Read(void* buffer, uint32_t capacity, uint32_t* bytesRead) {
  *bytesRead = 0;
  if (fd_ < 0) return false;
  for (;;) {
    const ssize_t got = read(fd_, buffer, capacity);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    *bytesRead = static_cast<uint32_t>(got);
    return true;
  }
}

bool CFile::Write(const void* buffer, uint32_t length) {
  if (fd_ < 0) return false;
  const char* bytes = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < length) {
    const ssize_t put = write(fd_, bytes + done, length - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;  // a full disk: ENOSPC, or nothing written at all
    done += static_cast<uint32_t>(put);
  }
  return true;
}

bool CFile::Close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  // Never retried: after EINTR the descriptor is already gone on Linux.
  return close(fd) == 0;
}

}  // namespace kestova
