// Settings on Linux: our own private-profile reader and writer (posix/ini_file.h).
// A write replaces the whole file atomically: the new text goes to a temporary file
// beside it, which is then renamed over the old one, so a crash or a full disk never
// leaves a half-written settings file.
#include "platform/settings.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/file_system.h"
#include "platform/posix/ini_file.h"
#include "platform/posix/native_path.h"
#include "platform/settings_file.h"
#include "platform/thread.h"

namespace kestova {
namespace {

// Reads the whole file; false when it cannot be read (`missing` tells whether it
// does not exist at all).
bool ReadWholeFile(const std::string& path, std::string* text, bool* missing) {
  *missing = false;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *missing = (errno == ENOENT);
    return false;
  }
  text->clear();
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return false;
    }
    if (got == 0) break;
    text->append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Replaces the file's content by `text` through a temporary file and a rename. A
// replaced file keeps its permission bits.
bool ReplaceFile(const std::string& path, const std::string& text) {
  static unsigned serial = 0;  // callers hold WriteLock()
  const std::string temporary =
      path + ".tmp" + std::to_string(getpid()) + "." + std::to_string(++serial);
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat old;
  bool ok = true;
  if (stat(path.c_str(), &old) == 0) ok = fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, text) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

// Writers of this process take turns, so that no change is lost between the read
// and the replacement of the file.
CLock& WriteLock() {
  static CLock* lock = new CLock;  // never destroyed: usable at exit
  return *lock;
}

}  // namespace

unsigned ReadSettingFrom(const CCountedString& path, const char* section, const char* key,
                         const char* defaultText, CCountedString* value) {
  std::string text;
  bool missing = false;
  std::string found;
  bool have = false;
  if (section != nullptr && key != nullptr && ReadWholeFile(NativePath(path), &text, &missing)) {
    have = CIniText(text).Find(section, key, &found);
  }
  if (!have) {
    // As the private-profile functions do: a default loses its trailing blanks.
    found = (defaultText != nullptr) ? defaultText : "";
    while (!found.empty() && found.back() == ' ') found.pop_back();
  }
  if (found.size() > kSettingValueCapacity - 1) found.resize(kSettingValueCapacity - 1);
  // The value ends at its first NUL, as text read through a C buffer does.
  found.resize(std::strlen(found.c_str()));
  *value = CCountedString(found.data(), found.size());
  return static_cast<unsigned>(found.size());
}

bool WriteSettingTo(const CCountedString& path, const char* section, const char* key,
                    const char* value) {
  if (!IsStorableSetting(section, key, value)) return false;
  const std::string nativePath = NativePath(path);
  CLockHolder hold(WriteLock());
  // A read-only settings file stays as it is, as on Windows (the rename below would
  // otherwise replace it whatever its permissions).
  if (IsReadOnly(path)) return false;
  std::string text;
  bool missing = false;
  if (!ReadWholeFile(nativePath, &text, &missing) && !missing) return false;
  CIniText ini(text);
  ini.Set(section, key, value);
  return ReplaceFile(nativePath, ini.Text());
}

}  // namespace kestova
