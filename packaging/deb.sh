#!/usr/bin/env bash
# deb.sh [BUILD_DIR] [OUT_DIR]: builds the library and ecc-crypt for /usr with Debian's build
# flags in BUILD_DIR (default build-deb), makes the Debian packages libeccencryption1,
# libeccencryption-dev and ecc-crypt with CPack into OUT_DIR (default artifacts/deb) and checks
# each with lintian: an error fails, warnings are shown. DEB_LINTIAN=0 skips lintian.
# Installs the Debian packages it needs when missing (through sudo when not root).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build-deb}
out=${2:-artifacts/deb}

ECC_SCRIPT=deb.sh
# shellcheck source=lib.sh
. packaging/lib.sh

# dpkg-dev: dpkg-shlibdeps and dpkg-buildflags; file: CPack finds the ELF files with it.
packages=(cmake make g++ pkg-config libcrypto++-dev help2man dpkg-dev file)
[ "${DEB_LINTIAN:-1}" = 0 ] || packages+=(lintian)
ensure_packages "${packages[@]}"

# Debian's flags for a package build: hardening (PIE, bind-now, stack protector, fortify) and
# reproducible paths. CMake reads no CPPFLAGS, so they go with the compiler flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# The changelog's and manual page's dates: the last commit's, so a rebuild gives the same files.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH LC_ALL=C

werror=OFF
[ "${CI:-}" = true ] && werror=ON
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DECCENCRYPTION_WERROR="$werror" \
    -DECCENCRYPTION_BUILD_TESTS=OFF -DECCENCRYPTION_BUILD_EXAMPLES=OFF \
    -DECCENCRYPTION_DEB_PACKAGES=ON >/dev/null
cmake --build "$build" -j 2 >"$build/build.log" 2>&1 || { tail -n 40 "$build/build.log"; die "build in $build failed"; }
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1 || { tail -n 40 "$build/cpack.log"; die "cpack failed (log: $build/cpack.log)"; }

mkdir -p "$out"
rm -f "$out"/*.deb
cp "$build"/packages/*.deb "$out/"
ls -l "$out"/*.deb
if [ "${DEB_LINTIAN:-1}" != 0 ]; then
    # lintian exits non-zero on errors only (its default --fail-on=error).
    lintian --info --display-level '>=warning' "$out"/*.deb || die "lintian reported errors"
fi
