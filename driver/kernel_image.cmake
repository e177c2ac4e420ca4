# Builds KESTOVA.SYS with the mingw-w64 cross compiler of the current preset.

# <ddk/ndis.h> of mingw-w64 10 misses a comma in the parameters of
# NdisMWanIndicateReceiveComplete. A mended copy is generated here, in the build folder, and put
# first on the driver's include path.
set(_ddk_dir /usr/${KESTOVA_MINGW_TRIPLE}/include/ddk)
if(NOT EXISTS ${_ddk_dir}/ndis.h)
  message(FATAL_ERROR "KESTOVA.SYS needs the mingw-w64 DDK headers (${_ddk_dir}/ndis.h)")
endif()
set(_fixed_include ${CMAKE_CURRENT_BINARY_DIR}/ddk-fixed)
file(READ ${_ddk_dir}/ndis.h _ndis_h)
string(REGEX REPLACE
  "(NdisMWanIndicateReceiveComplete\\([ \t\r\n]*IN NDIS_HANDLE[ \t]+MiniportAdapterHandle)([ \t]*\r?\n)"
  "\\1,\\2" _ndis_h "${_ndis_h}")
file(WRITE ${_fixed_include}/ddk/ndis.h.new "${_ndis_h}")
file(COPY_FILE ${_fixed_include}/ddk/ndis.h.new ${_fixed_include}/ddk/ndis.h ONLY_IF_DIFFERENT)
file(REMOVE ${_fixed_include}/ddk/ndis.h.new)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_ddk_dir}/ndis.h)

# The tree's Win32 program definitions (_WIN32_WINNT=0x0501, ...) select declarations of
# <ddk/wdm.h> that do not compile; the driver sees the DDK's defaults instead.
set_property(DIRECTORY PROPERTY COMPILE_DEFINITIONS "")

# The objects: C++ in a kernel subset (no exceptions, RTTI, global constructors or library).
add_library(kestova_sys_objects OBJECT ${KESTOVA_DRIVER_SOURCES})
target_include_directories(kestova_sys_objects SYSTEM BEFORE PRIVATE ${_fixed_include} ${_ddk_dir})
target_include_directories(kestova_sys_objects PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(kestova_sys_objects PRIVATE
  -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit)
target_link_libraries(kestova_sys_objects PRIVATE kestova_warnings)

# The link: a native-subsystem image whose entry is DriverEntry. It is linked by a custom
# command because the tree's link options (-static, the C++ runtime) do not belong in a driver.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  set(_entry _DriverEntry@8)
  # No DWARF unwind tables: nothing in a driver unwinds through them.
  target_compile_options(kestova_sys_objects PRIVATE -fno-asynchronous-unwind-tables)
else()
  set(_entry DriverEntry)
endif()
# The version resource, compiled apart (the image is linked by hand below).
set(_version_res ${CMAKE_CURRENT_BINARY_DIR}/version_res.o)
add_custom_command(
  OUTPUT ${_version_res}
  COMMAND ${CMAKE_RC_COMPILER} -I${PROJECT_BINARY_DIR}/generated -O coff
          -i ${CMAKE_CURRENT_SOURCE_DIR}/version.rc -o ${_version_res}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/version.rc ${PROJECT_BINARY_DIR}/generated/kestova_version.h
  VERBATIM
  COMMENT "Compiling the version resource of KESTOVA.SYS")

set(KESTOVA_SYS ${CMAKE_CURRENT_BINARY_DIR}/KESTOVA.SYS)
add_custom_command(
  OUTPUT ${KESTOVA_SYS}
  COMMAND ${CMAKE_CXX_COMPILER} -shared -nostdlib -nostartfiles
          -Wl,--subsystem,native -Wl,--entry,${_entry} -Wl,--exclude-all-symbols
          -Wl,--image-base,0x10000 -Wl,--strip-debug -Wl,--fatal-warnings
          $<TARGET_OBJECTS:kestova_sys_objects> ${_version_res} -o ${KESTOVA_SYS}
          -lndis -lntoskrnl -lhal
  DEPENDS $<TARGET_OBJECTS:kestova_sys_objects> ${_version_res}
  COMMAND_EXPAND_LISTS
  VERBATIM
  COMMENT "Linking KESTOVA.SYS (${CMAKE_SYSTEM_PROCESSOR})")
add_custom_target(kestova_sys ALL DEPENDS ${KESTOVA_SYS})
add_dependencies(kestova_sys kestova_sys_objects)
