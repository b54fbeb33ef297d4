# tavoc compiled with a profile of its own work. Half of a compilation's time
# goes to branches in the lexer, the lookups and the log whose outcome the
# source cannot tell the compiler; a profile can. So a first build of this
# same tree, instrumented, goes to pgo/build/ (it builds only tavoc), compiles
# the training programs (cmake/pgo-train.cmake), and the compiler's code here
# is compiled with the counts that run left in pgo/profile/. GCC only; not
# for the sanitizer, fuzz or cross builds. -DTAVO_PGO=OFF skips it, for quick
# rebuilds while changing the compiler.
#
# Included twice: before the targets, where the instrumented build sets its
# options (TAVO_PGO_GENERATE names its profile directory), and after them,
# where this build uses the profile.

if(NOT TARGET tavocore)
  if(TAVO_PGO_GENERATE)
    # The object files' paths are named relative to the build tree, so that
    # both builds name the same file alike.
    add_compile_options(-fprofile-generate=${TAVO_PGO_GENERATE} -fprofile-update=single
                        -fprofile-prefix-path=${CMAKE_BINARY_DIR})
    add_link_options(-fprofile-generate=${TAVO_PGO_GENERATE})
  endif()
  return()
endif()

option(TAVO_PGO "Compile tavoc with a profile of its run on training programs (GCC)" ON)
if(NOT TAVO_PGO OR TAVO_PGO_GENERATE OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   OR TAVO_SANITIZE OR TAVO_FUZZ OR CMAKE_CROSSCOMPILING OR WIN32)
  return()
endif()

include(ExternalProject)
set(TAVO_PGO_DIR ${CMAKE_BINARY_DIR}/pgo)
if(CMAKE_GENERATOR MATCHES "Make")
  set(tavo_pgo_build $(MAKE) tavoc)   # shares make's job slots
else()
  set(tavo_pgo_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target tavoc)
endif()
ExternalProject_Add(tavo_pgo_build
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${TAVO_PGO_DIR}/build
  CMAKE_ARGS
    -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
    -DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DTAVO_PGO_GENERATE=${TAVO_PGO_DIR}/profile
    -DTAVO_HUGE_PAGES=${TAVO_HUGE_PAGES}
    -DTAVO_TESTS=OFF
    -DTAVO_WINDOWS=OFF
    -DTAVO_WERROR=${TAVO_WERROR}
  BUILD_COMMAND ${tavo_pgo_build}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${TAVO_PGO_DIR}/build/tavoc
  INSTALL_COMMAND "")

# The benchmark shapes train best, when Python is there to write them.
find_package(Python3 COMPONENTS Interpreter QUIET)
set(tavo_pgo_stamp ${TAVO_PGO_DIR}/profile.stamp)
file(GLOB_RECURSE tavo_pgo_programs CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/golden/*/o.src ${CMAKE_SOURCE_DIR}/examples/*/o.src)
add_custom_command(OUTPUT ${tavo_pgo_stamp}
  COMMAND ${CMAKE_COMMAND} -DTAVOC=${TAVO_PGO_DIR}/build/tavoc
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DPROFILE=${TAVO_PGO_DIR}/profile
          -DWORK=${TAVO_PGO_DIR}/train -DPYTHON=${Python3_EXECUTABLE}
          -DSTAMP=${tavo_pgo_stamp} -P ${CMAKE_SOURCE_DIR}/cmake/pgo-train.cmake
  DEPENDS ${TAVO_PGO_DIR}/build/tavoc ${tavo_pgo_programs} ${CMAKE_SOURCE_DIR}/bench/gen.py
          ${CMAKE_SOURCE_DIR}/cmake/pgo-train.cmake
  COMMENT "Training tavoc for profile-guided optimisation"
  VERBATIM)
add_custom_target(tavo_pgo_profile DEPENDS ${tavo_pgo_stamp})
add_dependencies(tavo_pgo_profile tavo_pgo_build)

# A function that no training program reached keeps its usual optimisation;
# one whose code no longer matches its counts is compiled without them.
foreach(target tavocore tavoc)
  add_dependencies(${target} tavo_pgo_profile)
  target_compile_options(${target} PRIVATE -fprofile-use=${TAVO_PGO_DIR}/profile
                         -fprofile-prefix-path=${CMAKE_BINARY_DIR} -fprofile-partial-training
                         -Wno-missing-profile -Wno-coverage-mismatch)
  get_target_property(sources ${target} SOURCES)
  set_source_files_properties(${sources} TARGET_DIRECTORY ${target}
                              PROPERTIES OBJECT_DEPENDS ${tavo_pgo_stamp})
endforeach()
message(STATUS "tavoc: compiled with a profile of its own run (TAVO_PGO)")
