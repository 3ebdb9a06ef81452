#!/usr/bin/env bash
# run.sh BUILD_DIR: installs the built library into a scratch prefix, then builds and runs a
# consumer against it twice: through the CMake package and through pkg-config.
set -euo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for f in include/eccencryption/EccEncryption.h include/eccencryption/ZelString.h \
         lib/cmake/EccEncryption/EccEncryptionConfig.cmake lib/pkgconfig/eccencryption.pc; do
    [ -f "$work/prefix/$f" ] || { echo "missing from the installed tree: $f" >&2; exit 1; }
done
# The public headers must stand on their own: no Crypto++ header may be needed.
if grep -rl cryptopp "$work/prefix/include"; then echo "installed headers include Crypto++" >&2; exit 1; fi

cmake -S "$here" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046
c++ -std=c++17 "$here/main.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs eccencryption) \
    -Wl,-rpath,"$(pkg-config --variable=libdir eccencryption)"
"$work/consumer-pc"
