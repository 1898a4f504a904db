# Cross-builds the 64-bit Windows programs on Linux with mingw-w64 (Debian:
# g++-mingw-w64-x86-64-posix), and runs what the build and the tests start under Wine.
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSARY_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model, which std::thread and friends need with GCC 12.
set(CMAKE_C_COMPILER ${TESSARY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARY_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Nothing beside the programs but the system's own DLLs: the C++ runtime and zlib go in.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)

# The demo image is made at build time by the Windows generator, and the tests run, under
# Wine (Debian: wine and wine64, --no-install-recommends).
find_program(TESSARY_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARY_WINE})
