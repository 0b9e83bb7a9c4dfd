# Shared part of the Windows cross builds: clang in MSVC mode, linked by lld-link against
# the import libraries that wine ships. There is no C++ standard library for this target
# here, so whatever is built with it uses C headers (those of wine's C runtime), compiler
# built-ins and intrinsics only. Included by windows-x86.cmake and windows-x64.cmake, which
# set KORVEL_WINDOWS_TRIPLE, KORVEL_WINE_LIBRARIES and KORVEL_TARGET_LIBRARIES first.
set(CMAKE_SYSTEM_NAME Windows)

find_program(KORVEL_CLANG NAMES clang++-14 clang++ REQUIRED)
set(CMAKE_CXX_COMPILER ${KORVEL_CLANG})
set(CMAKE_CXX_COMPILER_TARGET ${KORVEL_WINDOWS_TRIPLE})
# Linking a test program would need a C runtime start-up that does not exist here.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(KORVEL_WINE_INCLUDE /usr/include/wine/wine)
set(CMAKE_CXX_FLAGS_INIT
    "-isystem ${KORVEL_WINE_INCLUDE}/msvcrt -isystem ${KORVEL_WINE_INCLUDE}/windows -D_UCRT -fexceptions -fcxx-exceptions")

# lld-link, with only the libraries named here: the compiler's default libraries are those
# of the MSVC installation that this machine does not have. ucrtbase and vcruntime140 are
# the runtime DLLs that any MSVC-built host already loads. vcruntime140 comes first so that
# what both export (memcpy, the exception handlers) is imported from it, as MSVC does.
set(KORVEL_LINK_FLAGS "-fuse-ld=lld -nostdlib -Xlinker /nodefaultlib")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${KORVEL_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${KORVEL_LINK_FLAGS}")
# A cache entry, so that the platform's list of desktop libraries does not replace it.
set(CMAKE_CXX_STANDARD_LIBRARIES
    "${KORVEL_WINE_LIBRARIES}/libvcruntime140.a ${KORVEL_WINE_LIBRARIES}/libucrtbase.a ${KORVEL_WINE_LIBRARIES}/libkernel32.a ${KORVEL_TARGET_LIBRARIES}"
    CACHE STRING "Libraries every module links" FORCE)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KORVEL_WINE wine)
if(KORVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVEL_WINE})
endif()
