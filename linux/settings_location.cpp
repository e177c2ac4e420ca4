#include "linux/settings_location.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kestova {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string DefaultSettingsFile() {
  const std::string configHome = Environment("XDG_CONFIG_HOME");
  if (!configHome.empty() && configHome[0] == '/') return configHome + "/kestov-a/kestov-a.ini";
  const std::string home = Environment("HOME");
  if (!home.empty()) return home + "/.config/kestov-a/kestov-a.ini";
  return "kestov-a.ini";
}

std::string DefaultServedFolder() {
  const std::string home = Environment("HOME");
  return home.empty() ? std::string("KESTOV-A") : home + "/KESTOV-A";
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::vector<char> buffer(4096);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return path;
  std::string absolute(buffer.data());
  if (absolute.empty() || absolute.back() != '/') absolute += '/';
  return absolute + path;
}

}  // namespace kestova
