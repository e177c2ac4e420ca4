// Resolution of paths beneath the calling thread's confinement folder (CFolderConfinement,
// platform/file_system.h), for the POSIX file operations.
//
// A path that lies under the folder as text is resolved beneath it by the kernel
// (openat2 with RESOLVE_BENEATH): a link on the way that leads outside fails with EXDEV.
// An absolute link that leads back inside is followed through its real path. Where the
// kernel has no openat2, the real path (realpath) must lie inside instead. Paths that
// are not under the folder as text, and every path of a thread without confinement, are
// used as they are.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <string>

namespace kestova {

// open() of `native`: beneath the confinement folder when it lies under it. -1 with
// errno on failure (EXDEV: a link leads outside).
int OpenConfined(const std::string& native, int flags, mode_t mode = 0);

// A path ready for the *at() calls that work on a name (mkdirat, unlinkat, renameat2,
// fstatat): the folder that holds the last component, opened beneath the confinement
// folder, and that component. For a path that is not confined, AT_FDCWD and the path.
class CPathAt {
 public:
  CPathAt() = default;
  ~CPathAt();
  CPathAt(const CPathAt&) = delete;
  CPathAt& operator=(const CPathAt&) = delete;

  // False with errno when the holding folder cannot be reached beneath the folder.
  bool Prepare(const std::string& native);
  int Folder() const { return folder_; }
  const char* Name() const { return name_.c_str(); }

 private:
  int folder_ = AT_FDCWD;
  int owned_ = -1;
  std::string name_;
};

// True when `native`, under `root` as text, leads outside it through a link on the way.
// A path that does not exist yet is judged by the part that exists.
bool LeadsOutside(const std::string& root, const std::string& native);

// Sets and reads the calling thread's confinement folder ("" = none).
void SetThreadConfinement(const std::string& root);
const std::string& ThreadConfinement();

// Tests: resolve by real paths, as on a kernel without openat2.
void UseRealPathContainment(bool use);

}  // namespace kestova
