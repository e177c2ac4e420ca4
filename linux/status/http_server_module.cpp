#include "linux/status/http_server_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <vector>

#include "platform/texts.h"

namespace kestova {
namespace {

struct LoadedModule {
  CreateHttpServerFunction create = nullptr;
  std::string failure;  // when create is null
};

std::string FolderOfRunningProgram() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return std::string();
  const std::string program(path, static_cast<size_t>(length));
  const size_t slash = program.rfind('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

LoadedModule Load() {
  std::vector<std::string> candidates;
  const std::string beside = FolderOfRunningProgram();
  if (!beside.empty()) candidates.push_back(beside + "/" + kHttpServerModuleName);
  candidates.push_back(std::string(KESTOVA_HTTP_MODULE_DIR) + "/" + kHttpServerModuleName);

  LoadedModule loaded;
  for (const std::string& path : candidates) {
    if (access(path.c_str(), F_OK) != 0) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      loaded.failure = why != nullptr ? why : Format(T_("cannot load %s"), path.c_str());
      return loaded;
    }
    loaded.create =
        reinterpret_cast<CreateHttpServerFunction>(dlsym(handle, KESTOVA_CREATE_HTTP_SERVER));
    if (loaded.create == nullptr) {
      loaded.failure = Format(T_("%s is not kestov-a's HTTP module"), path.c_str());
    }
    return loaded;
  }
  loaded.failure = beside.empty() ? Format(T_("no %s beside the program or in %s"),
                                           kHttpServerModuleName, KESTOVA_HTTP_MODULE_DIR)
                                  : Format(T_("no %s beside the program (%s) or in %s"),
                                           kHttpServerModuleName, beside.c_str(),
                                           KESTOVA_HTTP_MODULE_DIR);
  return loaded;
}

const LoadedModule& Module() {
  static std::once_flag once;
  static LoadedModule module;
  std::call_once(once, [] { module = Load(); });
  return module;
}

}  // namespace

bool HttpServerModuleAvailable(std::string* reason) {
  const LoadedModule& module = Module();
  if (module.create == nullptr) *reason = module.failure;
  return module.create != nullptr;
}

std::unique_ptr<IHttpServer> CreateHttpServer(const HttpServerLimits& limits, std::string* error) {
  const LoadedModule& module = Module();
  if (module.create == nullptr) {
    *error = module.failure;
    return nullptr;
  }
  std::unique_ptr<IHttpServer> server(module.create(limits));
  if (server == nullptr) *error = T_("the status page's HTTP server could not be made");
  return server;
}

}  // namespace kestova
