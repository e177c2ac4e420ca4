# Cross build for Debian arm64 (aarch64-linux-gnu) with Debian's cross compiler. Test programs
# run under qemu-aarch64-static through .ci/qemu-run.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KESTOVA_DEBIAN_ARCH arm64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../.ci/qemu-run arm64)
# cpp-httplib for the status page, with the libraries it needs: fetched by .ci/cross-httplib.
set(KESTOVA_CROSS_HTTPLIB_ROOT ${CMAKE_CURRENT_LIST_DIR}/../build/cross-httplib/arm64)
