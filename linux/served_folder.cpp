#include "linux/served_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "linux/settings_location.h"
#include "platform/file_system.h"
#include "platform/texts.h"

namespace kestova {
namespace {

// The service user's home folder; "" when it cannot be told.
std::string ServiceUserHome() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return std::string();
}

}  // namespace

std::string ExpandFolderSetting(const std::string& setting) {
  if (setting == "~" || setting.compare(0, 2, "~/") == 0) {
    const std::string home = ServiceUserHome();
    if (!home.empty()) return home + setting.substr(1);
  }
  return AbsolutePath(setting);
}

FolderReadiness PrepareServedFolder(const std::string& folder) {
  FolderReadiness readiness;
  struct stat status;
  if (folder.empty() || !CreateFolderTree(folder.c_str()) || stat(folder.c_str(), &status) != 0) {
    readiness.check = FolderCheck::kCannotCreate;
    return readiness;
  }
  if (!S_ISDIR(status.st_mode)) {
    readiness.check = FolderCheck::kNotAFolder;
    return readiness;
  }
  readiness.check = FolderCheck::kUsable;
  readiness.writable = access(folder.c_str(), W_OK | X_OK) == 0;
  return readiness;
}

std::string FolderProblem(const std::string& folder, FolderCheck check) {
  switch (check) {
    case FolderCheck::kUsable:
      return std::string();
    case FolderCheck::kNotAFolder:
      return Format(T_("cannot serve %s: it exists and is not a folder"), folder.c_str());
    case FolderCheck::kCannotCreate:
      return Format(T_("cannot create the receiving folder %s"), folder.c_str());
  }
  return std::string();
}

std::string FolderNotWritableWarning(const std::string& folder) {
  return Format(T_("the service cannot write into the receiving folder %s (no rights); "
                   "receptions and uploads into it will fail"),
                folder.c_str());
}

}  // namespace kestova
