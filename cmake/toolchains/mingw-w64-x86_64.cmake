# Cross build for 64-bit Windows with Debian's mingw-w64 (gcc-mingw-w64-x86-64-posix,
# g++-mingw-w64-x86-64-posix): the posix thread model, whose C++ runtime has std::thread.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#
# Libraries and headers come only from the mingw sysroot, programs from the host. Programs
# built here link the compiler's runtime statically, so that they run from any folder without
# libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll beside them; the tests run under
# Wine, which ctest and test discovery call through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ECC_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ECC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ECC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ECC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ECC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Debian's wine64 package puts the loader outside PATH; the wine package adds /usr/bin/wine.
find_program(ECC_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ECC_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ECC_WINE})
endif()
