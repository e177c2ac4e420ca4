#include "platform/posix/confined_path.h"

#include <errno.h>
#include <limits.h>
#include <linux/openat2.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace kestova {
namespace {

thread_local std::string t_confinement;  // no trailing '/'; "" = none
std::atomic<bool> g_realPathOnly{false};

// Closes `fd` without disturbing errno.
void CloseKeepingErrno(int fd) {
  const int saved = errno;
  if (fd >= 0) close(fd);
  errno = saved;
}

// The part of `native` below `root` ("" for the root itself); false when not under it.
bool RelativeTo(const std::string& root, const std::string& native, std::string* relative) {
  if (root.empty() || native.compare(0, root.size(), root) != 0) return false;
  size_t start = root.size();
  if (start < native.size() && native[start] != '/') return false;  // /srv/rec2 vs /srv/rec
  while (start < native.size() && native[start] == '/') ++start;
  size_t end = native.size();
  while (end > start && native[end - 1] == '/') --end;
  *relative = native.substr(start, end - start);
  return true;
}

int OpenAt2(int folder, const std::string& relative, int flags, mode_t mode) {
  if (g_realPathOnly.load()) {
    errno = ENOSYS;
    return -1;
  }
  open_how how = {};
  how.flags = static_cast<uint64_t>(flags);
  how.mode = (flags & O_CREAT) != 0 ? mode : 0;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  const char* path = relative.empty() ? "." : relative.c_str();
  long fd;
  do {
    fd = syscall(SYS_openat2, folder, path, &how, sizeof(how));
  } while (fd < 0 && (errno == EINTR || errno == EAGAIN));
  return static_cast<int>(fd);
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

// How many dangling links in a row WhereItLeads follows (the kernel's own limit).
constexpr int kLinkDepth = 40;

// Where `native` really leads: its real path, or, when it does not exist (yet), that of
// its folder plus its last component; a dangling link leads where its target would be.
// "" when it cannot be told.
std::string WhereItLeads(const std::string& native, int depth = 0) {
  std::string real = RealPath(native);
  if (!real.empty() || errno != ENOENT || depth > kLinkDepth) return real;
  const size_t slash = native.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  const std::string folderPath = slash == 0 ? "/" : native.substr(0, slash);
  char target[PATH_MAX];
  const ssize_t length = readlink(native.c_str(), target, sizeof(target) - 1);
  if (length > 0) {
    const std::string text(target, static_cast<size_t>(length));
    return WhereItLeads(text[0] == '/' ? text : folderPath + "/" + text, depth + 1);
  }
  const std::string folder = RealPath(folderPath);
  if (folder.empty()) return folder;
  return (folder == "/" ? std::string() : folder) + "/" + native.substr(slash + 1);
}

// True when `native` is not there because a folder on its way is missing, and the deepest
// part of it that exists is a folder (or a link to one) inside `realRoot`: no link is left
// to follow, so the path is missing rather than leading anywhere.
bool MissingBeneath(const std::string& realRoot, std::string native) {
  struct stat status;
  if (lstat(native.c_str(), &status) == 0 || errno != ENOENT) return false;
  for (;;) {
    const size_t slash = native.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return false;
    native.resize(slash);
    if (lstat(native.c_str(), &status) == 0) break;
    if (errno != ENOENT) return false;
  }
  const std::string real = RealPath(native);
  std::string below;
  return !real.empty() && stat(real.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         (realRoot == "/" || real == realRoot || RelativeTo(realRoot, real, &below));
}

// Opens `relative` beneath `root`; on EXDEV or a kernel without openat2, through the real
// paths, which must lie inside the real root.
int OpenBeneath(const std::string& root, const std::string& relative, int flags, mode_t mode) {
  const int rootFd = open(root.empty() ? "/" : root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (rootFd < 0) return -1;
  int fd = OpenAt2(rootFd, relative, flags, mode);
  CloseKeepingErrno(rootFd);
  if (fd >= 0 || (errno != EXDEV && errno != ENOSYS)) return fd;
  const bool withoutOpenat2 = errno == ENOSYS;

  const std::string realRoot = RealPath(root.empty() ? "/" : root);
  const std::string real = WhereItLeads(relative.empty() ? root : root + "/" + relative);
  if (real.empty() && !realRoot.empty() && MissingBeneath(realRoot, root + "/" + relative)) {
    errno = ENOENT;  // as openat2 says it
    return -1;
  }
  std::string realRelative;
  if (realRoot.empty() || real.empty() ||
      !RelativeTo(realRoot == "/" ? std::string() : realRoot, real, &realRelative)) {
    if (realRoot == "/" && !real.empty()) {
      realRelative = real.substr(1);
    } else {
      errno = EXDEV;
      return -1;
    }
  }
  if (withoutOpenat2) {
    // The real path has no link left on it; a link created since is not followed.
    return open(real.c_str(), flags | O_NOFOLLOW, mode);
  }
  const int realRootFd = open(realRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (realRootFd < 0) return -1;
  fd = OpenAt2(realRootFd, realRelative, flags, mode);
  CloseKeepingErrno(realRootFd);
  return fd;
}

}  // namespace

void SetThreadConfinement(const std::string& root) {
  std::string trimmed = root;
  while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  t_confinement = trimmed;  // "/" itself confines nothing
}

const std::string& ThreadConfinement() { return t_confinement; }

void UseRealPathContainment(bool use) { g_realPathOnly.store(use); }

int OpenConfined(const std::string& native, int flags, mode_t mode) {
  std::string relative;
  if (!RelativeTo(t_confinement, native, &relative)) return open(native.c_str(), flags, mode);
  return OpenBeneath(t_confinement, relative, flags, mode);
}

CPathAt::~CPathAt() {
  if (owned_ >= 0) CloseKeepingErrno(owned_);
}

bool CPathAt::Prepare(const std::string& native) {
  std::string relative;
  if (!RelativeTo(t_confinement, native, &relative) || relative.empty()) {
    name_ = native;  // not confined, or the confinement folder itself
    return true;
  }
  const size_t slash = relative.find_last_of('/');
  const std::string holder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
  name_ = slash == std::string::npos ? relative : relative.substr(slash + 1);
  if (name_ == ".." || name_ == ".") {
    errno = EXDEV;
    return false;
  }
  owned_ = OpenBeneath(t_confinement, holder, O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
  if (owned_ < 0) return false;
  folder_ = owned_;
  return true;
}

bool LeadsOutside(const std::string& root, const std::string& native) {
  std::string trimmedRoot = root;
  while (!trimmedRoot.empty() && trimmedRoot.back() == '/') trimmedRoot.pop_back();
  std::string relative;
  if (trimmedRoot.empty() || !RelativeTo(trimmedRoot, native, &relative)) return false;
  // From the whole path back to the root: the first part that exists decides.
  for (;;) {
    const int fd = OpenBeneath(trimmedRoot, relative, O_PATH | O_CLOEXEC, 0);
    if (fd >= 0) {
      close(fd);
      return false;
    }
    if (errno == EXDEV || errno == ELOOP) return true;
    if (errno != ENOENT || relative.empty()) return false;  // a later step will fail by itself
    const size_t slash = relative.find_last_of('/');
    relative = slash == std::string::npos ? std::string() : relative.substr(0, slash);
  }
}

}  // namespace kestova
