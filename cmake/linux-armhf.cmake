# Cross build for Debian armhf (arm-linux-gnueabihf) with Debian's cross compiler. Test programs
# run under qemu-arm-static through .ci/qemu-run.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(KESTOVA_DEBIAN_ARCH armhf)
set(KESTOVA_CROSS_TRIPLET arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
