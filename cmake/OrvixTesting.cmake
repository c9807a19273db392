# Test plumbing shared by every folder under tests/.
#
#   orvix_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [WINDOWS_ONLY] [NATIVE_ONLY])
#
# Native build: a GoogleTest program whose cases are discovered by CTest
# (label "native"). Windows build: a GoogleTest program built with MinGW and
# run under Wine inside the test bench (label "wine"); on the 32-bit build the
# programs are built but not registered, since they cannot run here.
#
#   orvix_add_wine_test(<name> COMMAND <cmd...>)
#
# Registers a script-driven test (for example a Python driver that starts the
# fake network and orvix.exe) that needs the Wine bench. Only in the 64-bit
# Windows build.

if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(ORVIX_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(ORVIX_RUN_WINE_TESTS ON)
  else()
    set(ORVIX_RUN_WINE_TESTS OFF)
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
function(orvix_wine_test_properties name timeout)
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_bench
    LABELS wine
    TIMEOUT ${timeout}
    ENVIRONMENT "ORVIX_WINE_DIR=${ORVIX_WINE_DIR};ORVIX_SOURCE_DIR=${CMAKE_SOURCE_DIR};ORVIX_BINARY_DIR=${CMAKE_BINARY_DIR}")
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
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND;LOCKS" ${ARGN})
  if(NOT (WIN32 AND ORVIX_RUN_WINE_TESTS))
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${ARG_COMMAND})
  orvix_wine_test_properties(${name} ${ARG_TIMEOUT} ${ARG_LOCKS})
endfunction()
