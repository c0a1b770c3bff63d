# Cross-building the Windows programs (64-bit, console) on Linux with
# MinGW-w64, the POSIX threads variant (std::thread needs it):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The programs are linked statically: they need nothing but the DLLs that
# every Windows system has. When Wine is installed, the tests run under it
# through ctest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TGRAM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TGRAM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TGRAM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TGRAM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TGRAM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian installs the 64-bit Wine loader outside PATH. The tests run the
# programs through tools/wine-run.sh, which starts them with it.
find_program(TGRAM_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TGRAM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
endif()
