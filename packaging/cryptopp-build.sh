#!/usr/bin/env bash
# cryptopp-build.sh SOURCE WORK PREFIX CXX [AR RANLIB]: builds Crypto++'s static library from the
# unpacked SOURCE (cryptopp-source.sh) with the compiler CXX, in WORK (a copy of SOURCE, since
# its makefile builds in place), and installs include/cryptopp and lib/libcryptopp.a under
# PREFIX. Does nothing when PREFIX already holds them, so each build folder builds it once.
set -euo pipefail
src=$1 work=$2 prefix=$3 cxx=$4
ar=${5:-ar} ranlib=${6:-ranlib}
[ -f "$prefix/lib/libcryptopp.a" ] && [ -f "$prefix/include/cryptopp/cryptlib.h" ] && exit 0
rm -rf "$work" && mkdir -p "$work" && cp -a "$src/." "$work/"
# Position-independent, so that it links into a shared library; no debug information, as in a
# release package.
flags=${CRYPTOPP_CXXFLAGS:--DNDEBUG -O3 -fPIC -pipe}
make -C "$work" -f GNUmakefile-cross -j "$(nproc)" static CXX="$cxx" AR="$ar" RANLIB="$ranlib" \
    CXXFLAGS="$flags" >"$work/build.log" 2>&1 \
    || { tail -n 30 "$work/build.log" >&2; echo "cryptopp-build.sh: Crypto++ build with $cxx failed (log: $work/build.log)" >&2; exit 1; }
make -C "$work" -f GNUmakefile-cross install-lib PREFIX="$prefix" CXX="$cxx" >/dev/null
