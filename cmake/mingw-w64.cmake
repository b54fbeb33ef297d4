# Cross-builds for Windows with MinGW-w64: 64-bit by default (Debian's
# g++-mingw-w64-x86-64-posix), 32-bit through mingw-w64-i686.cmake (Debian's
# g++-mingw-w64-i686-posix), which sets TAVO_MINGW_ARCH before including this
# file. Everything is linked statically against the C and C++ runtimes, so
# tavo.dll and tavohost.exe need nothing but the system's own DLLs.
if(NOT TAVO_MINGW_ARCH)
  set(TAVO_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVO_MINGW_ARCH})

set(TAVO_MINGW_PREFIX ${TAVO_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
if(TAVO_MINGW_ARCH STREQUAL "i686")
  # A 32-bit DLL's stdcall exports carry their argument size ("LibMain@12");
  # a host asks GetProcAddress for the plain name, so the export table has
  # the names without it.
  string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--kill-at")
endif()
