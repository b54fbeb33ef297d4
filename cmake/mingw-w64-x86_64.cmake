# Cross-builds for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix): a 64-bit host loads only a 64-bit tavo.dll.
set(TAVO_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
