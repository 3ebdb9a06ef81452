# Cross build for 64-bit Arm Linux with Debian's cross tool chain (g++-aarch64-linux-gnu, with
# its libc6-dev-arm64-cross sysroot in /usr/aarch64-linux-gnu):
#
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
#
# Libraries and headers come only from the cross sysroot, programs from the host. The tests
# run under qemu's user-mode emulation (qemu-user-static), which ctest and test discovery call
# through CMAKE_CROSSCOMPILING_EMULATOR, with the sysroot as the emulated programs' root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ECC_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ECC_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ECC_CROSS_TRIPLE}-g++)
set(ECC_CROSS_SYSROOT /usr/${ECC_CROSS_TRIPLE})

set(CMAKE_FIND_ROOT_PATH ${ECC_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ECC_QEMU NAMES qemu-aarch64-static qemu-aarch64 NO_CMAKE_FIND_ROOT_PATH)
if(ECC_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ECC_QEMU} -L ${ECC_CROSS_SYSROOT})
endif()
