# Shared compile settings and helpers for every target of the project.

add_library(brisanta_options INTERFACE)
target_compile_options(brisanta_options INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
target_compile_definitions(brisanta_options INTERFACE
  QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER
  BRISANTA_GATEWAY_HOST="${BRISANTA_GATEWAY_HOST}")
# The project's version as a header of its own (brisanta_version.h), so that a new version rebuilds
# only what reads it.
configure_file("${PROJECT_SOURCE_DIR}/cmake/brisanta_version.h.in" "${CMAKE_BINARY_DIR}/generated/brisanta_version.h"
  @ONLY)
target_include_directories(brisanta_options INTERFACE "${CMAKE_BINARY_DIR}/generated")
if(BRISANTA_WERROR)
  target_compile_options(brisanta_options INTERFACE -Werror)
endif()
if(BRISANTA_SANITIZE)
  target_compile_options(brisanta_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(brisanta_options INTERFACE -fsanitize=address,undefined)
endif()

# The fuzz build instruments every library for libFuzzer; only the targets of tests/fuzz link its
# driver.
if(BRISANTA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "BRISANTA_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  target_compile_options(brisanta_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(brisanta_options INTERFACE -fsanitize=address,undefined)
endif()

# brisanta_library(name SOURCES ... LINKS ... PRIVATE_LINKS ...): a static library of one area.
# LINKS are the libraries its headers expose (a user of the library needs them too);
# PRIVATE_LINKS those only its sources use.
function(brisanta_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC brisanta_options ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
endfunction()

# brisanta_test(name SOURCES ... LINKS ...): one Qt Test executable registered with ctest,
# run headless, each with its own temporary program folder (made by the test itself).
function(brisanta_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/src" "${PROJECT_SOURCE_DIR}/tests")
  target_link_libraries(${name} PRIVATE brisanta_options Qt6::Test ${ARG_LINKS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  # A test program does not sit beside the client: it is told where the .xls reading helper is.
  add_dependencies(${name} brisanta-xls-reader)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;BRISANTA_SHARED=${PROJECT_SOURCE_DIR}/../shared;ASAN_OPTIONS=detect_leaks=0:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;BRISANTA_XLS_READER=$<TARGET_FILE:brisanta-xls-reader>")
endfunction()

# Every program of a release lands in one folder of the build tree, as it does once installed: the
# client finds its updater (and any helper program it starts) beside its own executable.
set(BRISANTA_PROGRAM_DIR "${CMAKE_BINARY_DIR}/bin")

# brisanta_program(target): a program that ships with the client. Built into the shared program
# folder and installed there by the rules of the top-level CMakeLists.txt.
function(brisanta_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${BRISANTA_PROGRAM_DIR}")
  set_property(GLOBAL APPEND PROPERTY BRISANTA_PROGRAMS ${target})
endfunction()
