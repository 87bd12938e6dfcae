# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
# Use with -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTARNLOG_GUI=OFF; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNLOG_MINGW_PREFIX x86_64-w64-mingw32)
# The posix threading flavour: std::thread and std::mutex without extra libraries.
find_program(CMAKE_CXX_COMPILER NAMES ${TARNLOG_MINGW_PREFIX}-g++-posix ${TARNLOG_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${TARNLOG_MINGW_PREFIX}-gcc-posix ${TARNLOG_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${TARNLOG_MINGW_PREFIX}-windres)
find_program(CMAKE_AR NAMES ${TARNLOG_MINGW_PREFIX}-ar)
find_program(CMAKE_RANLIB NAMES ${TARNLOG_MINGW_PREFIX}-ranlib)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNLOG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs need no MinGW DLLs beside them: the C++ runtime, libgcc and winpthread go in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test discovery and ctest run the programs through Wine.
find_program(TARNLOG_WINE NAMES wine64 wine wine-stable PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TARNLOG_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNLOG_WINE})
endif()
