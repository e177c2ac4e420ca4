// Loads kestov-a-http.so, the status page's HTTP server, on first use and never unloads it.
// The module is looked for beside the running program (a build folder, an unpacked
// archive), then in the folder it is installed to (KESTOVA_HTTP_MODULE_DIR); never through
// the library search path.
#pragma once

#include <memory>
#include <string>

#include "linux/status/http_server.h"

namespace kestova {

inline constexpr char kHttpServerModuleName[] = "kestov-a-http.so";

// A new server; null with a one-line reason in *error when the module cannot be loaded.
std::unique_ptr<IHttpServer> CreateHttpServer(const HttpServerLimits& limits, std::string* error);

// Whether the module loads; *reason says why not.
bool HttpServerModuleAvailable(std::string* reason);

}  // namespace kestova
