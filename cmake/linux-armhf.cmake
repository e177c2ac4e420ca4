# Cross build for Debian armhf (arm-linux-gnueabihf) with Debian's cross compiler. Test programs
# run under qemu-arm-static through .ci/qemu-run.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KESTOVA_DEBIAN_ARCH armhf)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../.ci/qemu-run armhf)
# cpp-httplib for the status page, with the libraries it needs: fetched by .ci/cross-httplib.
set(KESTOVA_CROSS_HTTPLIB_ROOT ${CMAKE_CURRENT_LIST_DIR}/../build/cross-httplib/armhf)
