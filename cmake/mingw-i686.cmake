# Cross build for 32-bit Windows: the release target for Windows 2000/XP.
# Compiled and linked here, never run (32-bit programs cannot execute on this host).
# The win32 thread model: the posix model's runtime (winpthreads) imports
# GetTickCount64, which Windows XP lacks.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTOVA_MINGW_TRIPLE i686-w64-mingw32)
set(KESTOVA_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
