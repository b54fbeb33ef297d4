# tavo.dll and tavohost.exe for Windows, cross-built with MinGW-w64 by a
# second CMake run of this same source tree for each width of Windows whose
# cross compiler is installed: windows-x64/ (64-bit) and windows-x86/
# (32-bit) of the build tree. A Windows process loads only a library of its
# own width, so a 32-bit editor needs the 32-bit tavo.dll. These builds have
# the same build type and warning options as this one (so the same code warns
# alike), but no tests and never the sanitizers: the Windows files are tested
# by running each tavohost.exe under Wine (tests/library/).
option(TAVO_WINDOWS "Cross-build tavo.dll with MinGW-w64 when it is installed" ON)
if(CMAKE_CROSSCOMPILING)
  return()  # this is a Windows build itself
endif()

include(ExternalProject)
# Only the library and its host; make shares its job slots with the parent.
if(CMAKE_GENERATOR MATCHES "Make")
  set(tavo_windows_build $(MAKE) tavo tavohost)
else()
  set(tavo_windows_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target tavo tavohost)
endif()

# tavo_windows(NAME ARCH TOOLCHAIN): the build into windows-NAME/ when
# ARCH's compiler is there. Sets TAVO_WINDOWS_<NAME>_DIR always and
# TAVO_WINDOWS_<NAME>_BUILT to whether it is built.
function(tavo_windows name arch toolchain)
  set(dir ${CMAKE_BINARY_DIR}/windows-${name})
  set(TAVO_WINDOWS_${name}_DIR ${dir} PARENT_SCOPE)
  set(TAVO_WINDOWS_${name}_BUILT OFF PARENT_SCOPE)
  find_program(TAVO_MINGW_CXX_${name} ${arch}-w64-mingw32-g++-posix)
  if(NOT TAVO_WINDOWS OR NOT TAVO_MINGW_CXX_${name})
    message(STATUS "tavo.dll (${name}): not built (no ${arch}-w64-mingw32-g++-posix, or TAVO_WINDOWS is OFF)")
    return()
  endif()
  ExternalProject_Add(tavo_windows_${name}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DTAVO_TESTS=OFF
      -DTAVO_SANITIZE=OFF
      -DTAVO_WERROR=${TAVO_WERROR}
    BUILD_COMMAND ${tavo_windows_build}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  set(TAVO_WINDOWS_${name}_BUILT ON PARENT_SCOPE)
  message(STATUS "tavo.dll (${name}): cross-built in ${dir}")
endfunction()

tavo_windows(x64 x86_64 mingw-w64-x86_64.cmake)
tavo_windows(x86 i686 mingw-w64-i686.cmake)
