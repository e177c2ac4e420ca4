# What the Debian ARM cross builds share; the toolchain file sets CMAKE_SYSTEM_PROCESSOR,
# KESTOVA_DEBIAN_ARCH and KESTOVA_CROSS_TRIPLET and includes this.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KESTOVA_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KESTOVA_CROSS_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTOVA_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under qemu-user through .ci/qemu-run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../.ci/qemu-run ${KESTOVA_DEBIAN_ARCH})
# cpp-httplib for the status page, with the libraries it needs: fetched by .ci/cross-httplib.
set(KESTOVA_CROSS_HTTPLIB_ROOT
  ${CMAKE_CURRENT_LIST_DIR}/../build/cross-httplib/${KESTOVA_DEBIAN_ARCH})
