#!/usr/bin/env bash
# run.sh BUILD_DIR: installs the built library into a scratch prefix, then builds and runs a
# consumer against it twice: through the CMake package and through pkg-config.
# run.sh --installed PREFIX: the same against a library already installed under PREFIX (for
# example /usr, from the Debian packages), found where the system's tools look by themselves.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$1" = --installed ]; then
    prefix=$2
else
    prefix=$work/prefix
    cmake --install "$1" --prefix "$prefix" >/dev/null
fi
# lib/ or, as Debian lays it out, lib/<multiarch>/.
config=$(find "$prefix"/lib -maxdepth 4 -path '*/cmake/EccEncryption/EccEncryptionConfig.cmake' | head -n 1)
pc=$(find "$prefix"/lib -maxdepth 3 -path '*/pkgconfig/eccencryption.pc' | head -n 1)
for f in "$prefix/include/eccencryption/EccEncryption.h" "$prefix/include/eccencryption/EccStream.h" \
         "$prefix/include/eccencryption/ZelString.h" \
         "$config" "$pc"; do
    [ -f "$f" ] || { echo "missing from the installed tree: ${f:-the CMake package or the .pc file}" >&2; exit 1; }
done
# The public headers must stand on their own: no Crypto++ header may be needed.
if grep -rl cryptopp "$prefix/include/eccencryption"; then echo "installed headers include Crypto++" >&2; exit 1; fi

cmake_args=()
[ "$1" = --installed ] || cmake_args=(-DCMAKE_PREFIX_PATH="$prefix")
cmake -S "$here" -B "$work/cmake" "${cmake_args[@]}" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"

[ "$1" = --installed ] || export PKG_CONFIG_PATH="$(dirname "$pc")"
# shellcheck disable=SC2046
c++ -std=c++17 "$here/main.cpp" -o "$work/consumer-pc" $(pkg-config --cflags --libs eccencryption) \
    -Wl,-rpath,"$(pkg-config --variable=libdir eccencryption)"
"$work/consumer-pc"
