# Debian packages made by CPack (`cpack -G DEB`, see packaging/deb.sh), one per install component:
#   runtime  libeccencryption1      the shared library                         (Section libs)
#   devel    libeccencryption-dev   headers, .so link, CMake package, .pc file (Section libdevel)
#   cli      ecc-crypt              the tool and its manual page               (Section utils)
# Beside them each package gets what Debian wants in /usr/share/doc/<package>: the copyright file
# and a compressed changelog. Configure with CMAKE_INSTALL_PREFIX=/usr, so that GNUInstallDirs
# gives the multiarch library folder (lib/x86_64-linux-gnu).
find_program(ECCENCRYPTION_HELP2MAN help2man)
find_program(ECCENCRYPTION_GZIP gzip)
if(NOT ECCENCRYPTION_HELP2MAN OR NOT ECCENCRYPTION_GZIP)
  message(FATAL_ERROR "ECCENCRYPTION_DEB_PACKAGES needs help2man and gzip for the manual page")
endif()
if(NOT ECCENCRYPTION_BUILD_CLI OR NOT ECCENCRYPTION_INSTALL)
  message(FATAL_ERROR "ECCENCRYPTION_DEB_PACKAGES needs ECCENCRYPTION_BUILD_CLI and ECCENCRYPTION_INSTALL")
endif()

set(ECCENCRYPTION_DEB_MAINTAINER "eccencryption developers <eccencryption@example.org>"
  CACHE STRING "Maintainer field of the Debian packages")
set(ECCENCRYPTION_DEB_RELEASE 1 CACHE STRING "Debian revision of the packages")
set(ECCENCRYPTION_DEB_VERSION ${PROJECT_VERSION}-${ECCENCRYPTION_DEB_RELEASE})
set(deb_lib_package libeccencryption${PROJECT_VERSION_MAJOR})

# The library sits in the system's library folder, where the loader looks anyway; Debian's
# packages carry no RUNPATH.
set_target_properties(ecc-crypt PROPERTIES INSTALL_RPATH "")

set(deb_out ${CMAKE_CURRENT_BINARY_DIR}/deb)
add_custom_command(OUTPUT ${deb_out}/ecc-crypt.1.gz
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:ecc-crypt> -DHELP2MAN=${ECCENCRYPTION_HELP2MAN}
    -DGZIP=${ECCENCRYPTION_GZIP} -DVERSION=${PROJECT_VERSION} -DOUT=${deb_out}/ecc-crypt.1.gz
    -P ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
  DEPENDS ecc-crypt ${CMAKE_CURRENT_LIST_DIR}/ManPage.cmake
  COMMENT "Manual page of ecc-crypt")
# The changelog's date is SOURCE_DATE_EPOCH's when it is set (string(TIMESTAMP) reads it).
string(TIMESTAMP ECCENCRYPTION_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${deb_out}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${deb_out}/changelog.Debian.gz
  COMMAND ${ECCENCRYPTION_GZIP} -9nkf ${deb_out}/changelog.Debian
  DEPENDS ${deb_out}/changelog.Debian)
add_custom_target(eccencryption-deb-files ALL
  DEPENDS ${deb_out}/ecc-crypt.1.gz ${deb_out}/changelog.Debian.gz)

install(FILES ${deb_out}/ecc-crypt.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
foreach(component_package runtime:${deb_lib_package} devel:libeccencryption-dev cli:ecc-crypt)
  string(REPLACE ":" ";" component_package ${component_package})
  list(GET component_package 0 component)
  list(GET component_package 1 package)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${deb_out}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME eccencryption)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime devel cli)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ECCENCRYPTION_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ECCENCRYPTION_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps finds what the binaries link (libc, libstdc++, Crypto++); the library's package
# gets a shlibs file, so that other packages' dpkg-shlibdeps find it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The tool's link to our library is not in any installed package yet; it is stated below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${deb_lib_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg runs ldconfig through this trigger. (CPack also adds postinst and postrm scripts that
# call ldconfig for a library under /usr/lib; lintian warns about those, harmlessly.)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "P-256 public-key encryption library (ECIES)
eccencryption makes P-256 (secp256r1) key pairs as hex text, encrypts byte
strings for a public key with ECIES and decrypts them with the private key.
Every operation is a static function that never throws and may be called from
any number of threads at once. The cryptography comes from Crypto++.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEVEL_PACKAGE_NAME libeccencryption-dev)
set(CPACK_DEBIAN_DEVEL_PACKAGE_SECTION libdevel)
# The CMake package and the .pc file look Crypto++ up through pkg-config.
set(CPACK_DEBIAN_DEVEL_PACKAGE_DEPENDS
  "${deb_lib_package} (= ${ECCENCRYPTION_DEB_VERSION}), libcrypto++-dev, pkg-config")
set(CPACK_DEBIAN_DEVEL_DESCRIPTION "P-256 public-key encryption library (development files)
eccencryption makes P-256 (secp256r1) key pairs as hex text, encrypts byte
strings for a public key with ECIES and decrypts them with the private key.
.
This package holds the C++ and C headers, the CMake package
(find_package(EccEncryption)) and the pkg-config file (eccencryption).")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME ecc-crypt)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS "${deb_lib_package} (= ${ECCENCRYPTION_DEB_VERSION})")
set(CPACK_DEBIAN_CLI_DESCRIPTION "encrypt and decrypt files with P-256 public keys (ECIES)
ecc-crypt makes P-256 (secp256r1) key pairs, encrypts files for the holder of
a public key and decrypts them with the private key. Keys and ciphertexts are
hex text, so they can be mailed or pasted; the ciphertext can also be written
as raw bytes.")

include(CPack)
