#!/usr/bin/env bash
# natives-linux.sh BUILD_DIR: the NuGet package's Linux natives, BUILD_DIR/linux-x64/libeccencryption.so
# and BUILD_DIR/linux-arm64/libeccencryption.so, built in the Debian 11 tree of debian11-root.sh
# (glibc 2.31), each with a static Crypto++ (Debian's 8.7.0 source, built once per build folder)
# and the C++ runtime linked in and hidden. Both builds have their tests too, which test-arm64.sh
# runs (ECC_NATIVES_X64_TESTS=OFF leaves out the x64 ones). Then checks each library: it may
# need only the C library, libm and the loader, no glibc symbol newer than 2.31, and export only
# the library's own symbols.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: natives-linux.sh BUILD_DIR" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
src=$(dirname "$here")
mkdir -p "$1"
build=$(cd "$1" && pwd -P)
max_glibc=2.31

die() { echo "natives-linux.sh: $*" >&2; exit 1; }
log() { printf '==> %s\n' "$*"; }

# check_native SO LOADER TOOL_PREFIX: the dependency, glibc version and export checks.
check_native() {
    local so=$1 loader=$2 tp=$3 needed glibc bad
    needed=$("${tp}objdump" -p "$so" | awk '$1 == "NEEDED" {print $2}' | sort | tr '\n' ' ')
    echo "  $so"
    echo "    NEEDED: $needed"
    bad=$(tr ' ' '\n' <<<"$needed" | grep -vxE "libc\.so\.6|libm\.so\.6|${loader//./\\.}|" || true)
    [ -z "$bad" ] || die "$so needs $(echo $bad) (only libc.so.6, libm.so.6 and $loader are allowed)"
    glibc=$("${tp}objdump" -T "$so" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1)
    echo "    newest glibc symbol version: ${glibc:-none}"
    [ "$(printf '%s\n%s\n' "$glibc" "$max_glibc" | sort -V | tail -n 1)" = "$max_glibc" ] ||
        die "$so needs glibc $glibc, newer than $max_glibc"
    # Exported: the two classes (with their vtables and type information) and the C interface.
    bad=$("${tp}nm" -D --defined-only "$so" | awk '{print $3}' | c++filt |
        sed -E 's/^(vtable|typeinfo|typeinfo name|VTT) for //' |
        grep -vE '^(EccEncryption::|ZEL::String::|eccencryption_)' || true)
    [ -z "$bad" ] || die "$so exports symbols that are not its own: $(head -n 3 <<<"$bad" | tr '\n' ' ')"
    echo "    exports: $("${tp}nm" -D --defined-only "$so" | wc -l) symbols, all the library's own"
}

# build_native NAME CRYPTOPP_PREFIX TOOL_PREFIX LOADER TESTS [CMAKE_ARGS...]: one native, in the tree.
build_native() {
    local name=$1 cryptopp=$2 tp=$3 loader=$4 tests=$5 dir=$build/$1-build
    shift 5
    log "$name: library (tests $tests)"
    cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DECCENCRYPTION_WERROR=ON \
        -DECCENCRYPTION_SELF_CONTAINED=ON -DECCENCRYPTION_CRYPTOPP_ROOT="$cryptopp" \
        -DECCENCRYPTION_BUILD_TESTS="$tests" -DECCENCRYPTION_BUILD_CLI=OFF \
        -DECCENCRYPTION_BUILD_EXAMPLES=OFF -DECCENCRYPTION_INSTALL=OFF "$@" >"$dir.log" 2>&1 ||
        { tail -n 20 "$dir.log" >&2; die "$name: cmake configure failed (log: $dir.log)"; }
    cmake --build "$dir" -j "${JOBS:-2}" >>"$dir.log" 2>&1 ||
        { grep -m 20 -E 'error|Error' "$dir.log" >&2; die "$name: build failed (log: $dir.log)"; }
    mkdir -p "$build/$name"
    # The package carries the library without debug information or local symbols.
    "${tp}strip" --strip-unneeded -o "$build/$name/libeccencryption.so" "$(readlink -f "$dir/libeccencryption.so")"
    check_native "$build/$name/libeccencryption.so" "$loader" "$tp"
}

if [ "${ECC_IN_DEBIAN11_ROOT:-}" != 1 ]; then
    # The source is unpacked outside the tree, whose apt knows no Debian 12 sources; the build is
    # in the tree.
    command -v dpkg-source >/dev/null || {
        [ "$(id -u)" = 0 ] || die "dpkg-dev is missing and installing it needs root"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
    }
    "$here/debian11-root.sh" "$build"
    "$here/cryptopp-source.sh" "$build/cryptopp-src"
    exec "$here/debian11-root.sh" "$build" env ECC_IN_DEBIAN11_ROOT=1 \
        ECC_NATIVES_X64_TESTS="${ECC_NATIVES_X64_TESTS:-ON}" "$here/natives-linux.sh" "$build"
fi

for arch in x64 arm64; do
    t0=$SECONDS
    log "Crypto++ for linux-$arch (once per build folder)"
    if [ "$arch" = x64 ]; then
        "$here/cryptopp-build.sh" "$build/cryptopp-src/cryptopp" "$build/cryptopp-$arch-work" \
            "$build/cryptopp-$arch" g++
    else
        "$here/cryptopp-build.sh" "$build/cryptopp-src/cryptopp" "$build/cryptopp-$arch-work" \
            "$build/cryptopp-$arch" aarch64-linux-gnu-g++ aarch64-linux-gnu-ar aarch64-linux-gnu-ranlib
    fi
    # The installed static library is all the builds need; the work copy is large.
    rm -rf "$build/cryptopp-$arch-work"
    echo "  $((SECONDS - t0)) s"
done

t0=$SECONDS
build_native linux-x64 "$build/cryptopp-x64" "" ld-linux-x86-64.so.2 "${ECC_NATIVES_X64_TESTS:-ON}"
echo "  $((SECONDS - t0)) s"
t0=$SECONDS
build_native linux-arm64 "$build/cryptopp-arm64" aarch64-linux-gnu- ld-linux-aarch64.so.1 ON \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchains/aarch64-linux-gnu.cmake"
echo "  $((SECONDS - t0)) s"
