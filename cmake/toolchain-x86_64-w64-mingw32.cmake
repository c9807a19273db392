# 64-bit Windows build: the same source as the shipped program, run under Wine for the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVIX_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model
# of GCC 12 lacks. The program itself uses Win32 threads; winpthread is
# linked statically like the rest of the runtime.
set(CMAKE_C_COMPILER ${ORVIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVIX_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
