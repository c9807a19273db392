# Test plumbing shared by every folder under tests/.
#
#   orvix_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [WINDOWS_ONLY] [NATIVE_ONLY])
#
# Native build: a GoogleTest program whose cases are discovered by CTest
# (label "native"). Windows builds: a GoogleTest program built with MinGW and
# run under Wine inside the test bench (label "wine").
#
#   orvix_add_wine_test(<name> COMMAND <cmd...> [TIMEOUT <s>] [LOCKS <locks...>] [ENV <NAME=value...>])
#
# Registers a script-driven test (for example a Python driver that starts the
# fake network and orvix.exe) that needs the Wine bench. The script suites
# run on the width users get, the 32-bit build; the 64-bit build runs them
# too only where this machine cannot run 32-bit Windows programs, so that
# they are never lost.
#
# Running 32-bit Windows programs needs Debian's 32-bit Wine (wine32:i386,
# installed by scripts/install-deps.sh) and a kernel that executes i386 code.
# Some virtual machines refuse it (execve of an i386 program fails with
# "Exec format error"); there the 32-bit build registers one test that is
# reported as skipped, with the reason, instead of its Wine tests.

# ORVIX_WINE32_USABLE (ON/OFF) and ORVIX_WINE32_WHY: can 32-bit Windows
# programs run on this machine.
function(orvix_probe_wine32)
  set(usable OFF)
  set(why "")
  find_program(ORVIX_ARCH_TEST arch-test)
  if(NOT ORVIX_ARCH_TEST)
    set(why "arch-test is not installed, so it is not known whether this kernel executes i386 code")
  else()
    execute_process(COMMAND ${ORVIX_ARCH_TEST} i386 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0)
      set(why "this machine's kernel does not execute i386 code (arch-test: ${out})")
    elseif(NOT EXISTS /usr/lib/wine/wine OR NOT EXISTS /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll)
      set(why "Debian's 32-bit Wine (wine32:i386) is not installed (scripts/install-deps.sh installs it)")
    else()
      set(usable ON)
    endif()
  endif()
  set(ORVIX_WINE32_USABLE ${usable} PARENT_SCOPE)
  set(ORVIX_WINE32_WHY "${why}" PARENT_SCOPE)
endfunction()

if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(ORVIX_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
  # ORVIX_WINE32=ON registers the 32-bit Wine tests without asking this
  # machine: for a tree whose tests run in another machine that sees it at
  # the same path (scripts/wine32-vm.sh, an emulated x86-64 machine whose
  # kernel executes i386 code).
  set(ORVIX_WINE32 AUTO CACHE STRING "32-bit Wine tests: AUTO (probe this machine) or ON")
  if(ORVIX_WINE32 STREQUAL "ON")
    set(ORVIX_WINE32_USABLE ON)
  else()
    orvix_probe_wine32()
  endif()
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(ORVIX_RUN_WINE_TESTS ON)
    if(ORVIX_WINE32_USABLE)
      set(ORVIX_RUN_WINE_SCRIPTS OFF)
    else()
      set(ORVIX_RUN_WINE_SCRIPTS ON)
    endif()
  else()
    set(ORVIX_RUN_WINE_TESTS ${ORVIX_WINE32_USABLE})
    set(ORVIX_RUN_WINE_SCRIPTS ${ORVIX_WINE32_USABLE})
    if(NOT ORVIX_WINE32_USABLE)
      message(STATUS "The 32-bit Windows tests cannot run here: ${ORVIX_WINE32_WHY}")
      add_test(NAME wine32_unavailable
               COMMAND sh -c "echo \"32-bit Windows tests not run: $1\"; exit 77" sh "${ORVIX_WINE32_WHY}")
      set_tests_properties(wine32_unavailable PROPERTIES SKIP_RETURN_CODE 77 LABELS wine)
    endif()
  endif()
  if(ORVIX_RUN_WINE_TESTS)
    # The wine_bench fixture: one private Wine prefix, Xvfb display and
    # wineserver for all Wine tests of this build tree (scripts/wine-bench.sh).
    # The first start creates the prefix (wineboot, ~10 s); later runs reuse it.
    add_test(NAME wine_bench_start
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-bench.sh start ${ORVIX_WINE_DIR})
    add_test(NAME wine_bench_stop
             COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-bench.sh stop ${ORVIX_WINE_DIR})
    set_tests_properties(wine_bench_start PROPERTIES FIXTURES_SETUP wine_bench LABELS wine TIMEOUT 600)
    set_tests_properties(wine_bench_stop PROPERTIES FIXTURES_CLEANUP wine_bench LABELS wine TIMEOUT 120)
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# The settings of every test that runs on the Wine bench. LOCKS names the
# CTest resource locks it takes (tests that share the settings folder or
# show windows and read the focus take turns).
# ORVIX_WINE_TIMEOUT_SCALE multiplies every Wine test's time limit: for a
# machine that runs them emulated, some times slower (scripts/wine32-vm.sh).
set(ORVIX_WINE_TIMEOUT_SCALE 1 CACHE STRING "Factor for the time limits of the Wine tests")
function(orvix_wine_test_properties name timeout)
  math(EXPR timeout "${timeout} * ${ORVIX_WINE_TIMEOUT_SCALE}")
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_bench
    LABELS wine
    TIMEOUT ${timeout}
    ENVIRONMENT "ORVIX_WINE_DIR=${ORVIX_WINE_DIR};ORVIX_SOURCE_DIR=${CMAKE_SOURCE_DIR};ORVIX_BINARY_DIR=${CMAKE_BINARY_DIR}")
  if(NOT ORVIX_WINE_TIMEOUT_SCALE EQUAL 1)
    # The drivers' own waits and fake-parent's limit stretch likewise.
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "ORVIX_TIME_SCALE=${ORVIX_WINE_TIMEOUT_SCALE}")
  endif()
  if(ARGN)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARGN}")
  endif()
endfunction()

function(orvix_add_gtest name)
  cmake_parse_arguments(ARG "WINDOWS_ONLY;NATIVE_ONLY" "" "SOURCES;LIBS;LOCKS" ${ARGN})
  if(WIN32 AND ARG_NATIVE_ONLY)
    return()
  endif()
  if(NOT WIN32 AND ARG_WINDOWS_ONLY)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  if(WIN32)
    target_link_libraries(${name} PRIVATE gtest_main orvix_win ${ARG_LIBS})
    if(ORVIX_RUN_WINE_TESTS)
      add_test(NAME ${name} COMMAND ${name})
      orvix_wine_test_properties(${name} 300 ${ARG_LOCKS})
    endif()
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main orvix_core ${ARG_LIBS})
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 60
      # One variable per property: a ";" list would be split on its way
      # through the discovery script.
      PROPERTIES LABELS native
                 ENVIRONMENT "ORVIX_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
                 ENVIRONMENT_MODIFICATION "ORVIX_BINARY_DIR=set:${CMAKE_BINARY_DIR}")
  endif()
endfunction()

function(orvix_add_wine_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND;LOCKS;ENV" ${ARGN})
  if(NOT (WIN32 AND ORVIX_RUN_WINE_TESTS AND ORVIX_RUN_WINE_SCRIPTS))
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  orvix_wine_test_properties(${name} ${ARG_TIMEOUT} ${ARG_LOCKS})
  if(ARG_ENV)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${ARG_ENV})
  endif()
endfunction()
