# Cross-builds for 32-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-i686-posix): a 32-bit host loads only a 32-bit tavo.dll.
set(TAVO_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
