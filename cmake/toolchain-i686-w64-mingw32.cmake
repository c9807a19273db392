# 32-bit Windows build: the shipped orvix.exe. Its tests run under Wine where
# this machine executes i386 code (cmake/OrvixTesting.cmake decides).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVIX_MINGW_PREFIX i686-w64-mingw32)
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
