# The one version of KESTOV-A (project(VERSION) in the top CMakeLists.txt), as a generated
# header <kestova_version.h> for C++ and .rc files. Link `kestova_version` to include it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/generated/kestova_version.h @ONLY)
add_library(kestova_version INTERFACE)
target_include_directories(kestova_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
