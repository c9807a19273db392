# The release build of orvix.exe (scripts/release.sh). The same commit gives
# the same bytes whichever folders the tree and the build are in:
#   - no folder names in the objects: __FILE__ and the debug information name
#     files relative to the tree (the build folder's own files, the generated
#     ones, as "./generated/..."; the build folder's map comes last so it wins
#     when the build folder is inside the tree);
#   - no time stamps: archives are written deterministically, the linker and
#     objcopy put no time in the image (see also SOURCE_DATE_EPOCH in the
#     script);
# and code and data that nothing reaches are dropped at link time. The
# program's debug information goes to orvix.exe.debug next to it, named by
# the program's .gnu_debuglink (file name and CRC), so that a crash address
# from a user can still be read:
#   i686-w64-mingw32-addr2line -f -C -e orvix.exe.debug 0x4012ab
add_compile_options(
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
  -ffile-prefix-map=${CMAKE_BINARY_DIR}=.
  -ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections -Wl,--no-insert-timestamp)

foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

# Called from app/ once the program's target exists.
function(orvix_split_symbols target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE_NAME:${target}>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Splitting the symbols of ${target} into $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()
