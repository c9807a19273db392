# One static library per folder; its USES are the only folders it may include
# and call. scripts/check_layers.py reads these calls and fails the test
# command when a file includes a header of a folder its library does not use
# (directly or through the libraries it uses), or when a portable file
# includes a Windows header.
#
#   orvix_layer(<name> PORTABLE <files...> [WINDOWS <files...>] [NATIVE <files...>]
#               [USES <orvix libraries...>] [SYSTEM <Windows import libraries...>])
#
# PORTABLE sources build everywhere, WINDOWS ones only in the MinGW builds,
# NATIVE ones only in the Linux build.
function(orvix_layer name)
  cmake_parse_arguments(ARG "" "" "PORTABLE;WINDOWS;NATIVE;USES;SYSTEM" ${ARGN})
  add_library(${name} STATIC ${ARG_PORTABLE})
  if(WIN32)
    target_sources(${name} PRIVATE ${ARG_WINDOWS})
    target_link_libraries(${name} PUBLIC ${ARG_SYSTEM})
  else()
    target_sources(${name} PRIVATE ${ARG_NATIVE})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_USES})
endfunction()
