# tavo.dll and tavohost.exe for Windows, cross-built with MinGW-w64 by a
# second CMake run of this same source tree into windows/ of the build tree.
# That build has the same build type and warning options as this one (so the
# same code warns alike), but no tests and never the sanitizers: the Windows
# files are tested by running tavohost.exe under Wine (tests/library/).
option(TAVO_WINDOWS "Cross-build tavo.dll with MinGW-w64 when it is installed" ON)
set(TAVO_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows)
set(TAVO_WINDOWS_BUILT OFF)
if(CMAKE_CROSSCOMPILING)
  return()  # this is the Windows build itself
endif()

find_program(TAVO_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(TAVO_WINDOWS AND TAVO_MINGW_CXX)
  include(ExternalProject)
  # Only the library and its host; make shares its job slots with the parent.
  if(CMAKE_GENERATOR MATCHES "Make")
    set(tavo_windows_build $(MAKE) tavo tavohost)
  else()
    set(tavo_windows_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target tavo tavohost)
  endif()
  ExternalProject_Add(tavo_windows
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${TAVO_WINDOWS_DIR}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DTAVO_TESTS=OFF
      -DTAVO_SANITIZE=OFF
      -DTAVO_WERROR=${TAVO_WERROR}
    BUILD_COMMAND ${tavo_windows_build}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  set(TAVO_WINDOWS_BUILT ON)
  message(STATUS "tavo.dll: cross-built in ${TAVO_WINDOWS_DIR}")
else()
  message(STATUS "tavo.dll: not built (no x86_64-w64-mingw32-g++-posix, or TAVO_WINDOWS is OFF)")
endif()
