# Cross build for 64-bit Windows: the test build, whose programs run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTOVA_MINGW_TRIPLE x86_64-w64-mingw32)
set(KESTOVA_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
# Every test program runs through wine64 with a private prefix and code page 932.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../.ci/wine-run)
