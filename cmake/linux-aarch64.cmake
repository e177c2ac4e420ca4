# Cross build for Debian arm64 (aarch64-linux-gnu) with Debian's cross compiler. Test programs
# run under qemu-aarch64-static through .ci/qemu-run.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KESTOVA_DEBIAN_ARCH arm64)
set(KESTOVA_CROSS_TRIPLET aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
