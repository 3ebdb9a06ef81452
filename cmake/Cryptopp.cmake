# Crypto++ for the library, its tests and tools: ECCENCRYPTION_CRYPTOPP names its target.
#
# By default the system's shared Crypto++, found through pkg-config: what a distribution and
# `cmake --install` want. With ECCENCRYPTION_SELF_CONTAINED, a static Crypto++ built from source
# under ECCENCRYPTION_CRYPTOPP_ROOT (include/cryptopp/, lib/libcryptopp.a), linked into the
# library together with the C++ runtime, so that the library needs nothing but the C library
# and the operating system (the NuGet package's natives).
option(ECCENCRYPTION_SELF_CONTAINED
  "Link a static Crypto++ and the C++ runtime into the library (for the NuGet natives)" OFF)
set(ECCENCRYPTION_CRYPTOPP_ROOT "" CACHE PATH
  "Prefix of a static Crypto++ (include/cryptopp, lib/libcryptopp.a) for ECCENCRYPTION_SELF_CONTAINED")

if(NOT ECCENCRYPTION_SELF_CONTAINED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
  set(ECCENCRYPTION_CRYPTOPP PkgConfig::CRYPTOPP)
  return()
endif()

find_library(ECCENCRYPTION_CRYPTOPP_LIBRARY NAMES libcryptopp.a
  PATHS ${ECCENCRYPTION_CRYPTOPP_ROOT}/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ECCENCRYPTION_CRYPTOPP_LIBRARY OR NOT EXISTS ${ECCENCRYPTION_CRYPTOPP_ROOT}/include/cryptopp/cryptlib.h)
  message(FATAL_ERROR "ECCENCRYPTION_SELF_CONTAINED: no static Crypto++ under "
    "ECCENCRYPTION_CRYPTOPP_ROOT='${ECCENCRYPTION_CRYPTOPP_ROOT}' (packaging/cryptopp-build.sh makes one)")
endif()
add_library(ecc_cryptopp_static STATIC IMPORTED)
set_target_properties(ecc_cryptopp_static PROPERTIES
  IMPORTED_LOCATION ${ECCENCRYPTION_CRYPTOPP_LIBRARY}
  INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${ECCENCRYPTION_CRYPTOPP_ROOT}/include
  INTERFACE_INCLUDE_DIRECTORIES ${ECCENCRYPTION_CRYPTOPP_ROOT}/include)
if(WIN32)
  # Crypto++'s random source on Windows.
  set_property(TARGET ecc_cryptopp_static APPEND PROPERTY INTERFACE_LINK_LIBRARIES advapi32 bcrypt)
endif()
set(ECCENCRYPTION_CRYPTOPP ecc_cryptopp_static)
