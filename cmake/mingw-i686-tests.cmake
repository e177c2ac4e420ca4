# Cross build of the tests for 32-bit Windows, run under a 32-bit Wine (WINEARCH=win32,
# which reports Windows XP). GoogleTest needs std::mutex, which only the posix thread model
# has, so these test programs use the posix-thread compilers; the shipped KESTOV-A.exe comes
# from the win32 preset (mingw-i686.cmake, win32 thread model, no winpthread runtime) and is
# the program the end-to-end test runs (KESTOVA_E2E_PROGRAM).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTOVA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every test program runs through the 32-bit Wine with a private win32 prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../.ci/wine-run --win32)
