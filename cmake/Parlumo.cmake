# Build conventions shared by every target of the project.

find_package(PkgConfig REQUIRED)

if(PARLUMO_SANITIZE OR PARLUMO_FUZZ)
  set(_parlumo_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${_parlumo_san})
  add_link_options(${_parlumo_san})
endif()

if(PARLUMO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "PARLUMO_FUZZ needs clang (libFuzzer); use the 'fuzz' preset")
  endif()
  # Instrument everything for coverage; only the fuzz targets link the fuzzer's main().
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Warnings for our own targets only (third-party code is not ours to fix).
function(parlumo_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wimplicit-fallthrough
    -Wcast-qual -Wformat=2 -Wundef)
  # GCC 12's optimizer reports overlapping copies inside std::string's own
  # assignment and concatenation (GCC bug 105651): in a release build it flags lines
  # as plain as `s = "tcp"`. The warning is off for that compiler in every build so
  # that all presets share one warning set; at -O0 it could never fire anyway.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(PARLUMO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# parlumo_library(<name> [QT_FREE] SOURCES ... [DEPS ...])
# Defines the library target parlumo_<name> for one folder under src/. A QT_FREE
# library may depend only on other QT_FREE libraries and on non-GUI system
# libraries; the check runs at configure time so a stray Qt or X11 dependency
# fails the build rather than waiting for a review to notice it.
function(parlumo_library name)
  cmake_parse_arguments(ARG "QT_FREE" "" "SOURCES;DEPS" ${ARGN})
  set(target parlumo_${name})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  parlumo_warnings(${target})
  if(ARG_QT_FREE)
    set_property(TARGET ${target} PROPERTY PARLUMO_QT_FREE TRUE)
    foreach(dep IN LISTS ARG_DEPS)
      if(dep MATCHES "Qt|X11|Xtst|xcb")
        message(FATAL_ERROR "${target} is Qt-free but links ${dep}")
      endif()
      if(dep MATCHES "^parlumo_" AND TARGET ${dep})
        get_property(dep_free TARGET ${dep} PROPERTY PARLUMO_QT_FREE)
        if(NOT dep_free)
          message(FATAL_ERROR "${target} is Qt-free but links ${dep}, which is not")
        endif()
      endif()
    endforeach()
  endif()
endfunction()

# parlumo_gtest(<name> <label> SOURCES ... DEPS ...)
# One GoogleTest program; every test in it carries the given ctest label.
function(parlumo_gtest name label)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE PARLUMO_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  # Shared test pieces: fakes/ and support/.
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  parlumo_warnings(${name})
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${label}
    ENVIRONMENT "PARLUMO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
    DISCOVERY_TIMEOUT 60)
endfunction()

# parlumo_fuzzer(<name> SOURCE <file> DEPS ... [CORPUS <dir>])
# A libFuzzer program and a bounded ctest run of it (label 'fuzz'). The run starts
# from a copy of the seed corpus so the source tree is never written.
set(PARLUMO_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under ctest")
function(parlumo_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS" "DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCE})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  parlumo_warnings(${name})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  set(seed_args "")
  if(ARG_CORPUS)
    set(seed_args ${ARG_CORPUS})
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env
      ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${name}> -DWORK=${work} -DSEED=${seed_args}
      -DSECONDS=${PARLUMO_FUZZ_SECONDS} -P ${PROJECT_SOURCE_DIR}/cmake/RunFuzzer.cmake)
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
