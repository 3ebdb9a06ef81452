#!/usr/bin/env bash
# natives-windows.sh BUILD_DIR: the NuGet package's Windows native, BUILD_DIR/bin/eccencryption.dll,
# cross-built with Debian's mingw-w64 (posix thread model) and self-contained: a static Crypto++
# (Debian's 8.7.0 source, built once per build folder in BUILD_DIR/cryptopp*) and the C++ runtime
# are linked in. The test programs are built beside it, for test-windows.sh to run under Wine.
# Then checks the DLL: it may import only Windows system DLLs, and it exports the library's own
# symbols, every function of the C interface among them.
# Installs the Debian packages it needs when they are missing (through sudo when not root).
# Environment: JOBS (default 2) parallel jobs; CI=true makes compiler warnings errors.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: natives-windows.sh BUILD_DIR" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
src=$(dirname "$here")
mkdir -p "$1"
build=$(cd "$1" && pwd -P)
tp=x86_64-w64-mingw32-
dll=$build/bin/eccencryption.dll

ECC_SCRIPT=natives-windows.sh
# shellcheck source=lib.sh
. "$here/lib.sh"

# check_dll DLL: the import and export checks.
check_dll() {
    local imports bad exports missing
    imports=$("${tp}objdump" -p "$1" | awk '$1 == "DLL" && $2 == "Name:" {print $3}' | sort -f)
    echo "  $1 ($(stat -c %s "$1") bytes)"
    echo "    imports: $(echo $imports)"
    # The system's own DLLs only: no C++ runtime, libgcc or winpthread DLL beside the library.
    bad=$(grep -viE '^(kernel32|advapi32|bcrypt|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$' \
        <<<"$imports" || true)
    [ -z "$bad" ] || die "$1 imports $(echo $bad), which Windows does not have: only KERNEL32, ADVAPI32, bcrypt, msvcrt and the UCRT are allowed"
    # The export table's names, between its heading and the next blank line.
    exports=$("${tp}objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        awk '/^\t\[/ {print $NF}')
    bad=$(c++filt <<<"$exports" | sed -E 's/^(vtable|typeinfo|typeinfo name) for //' |
        grep -vE '^(EccEncryption::|ZEL::String::|eccencryption_)' || true)
    [ -z "$bad" ] || die "$1 exports symbols that are not its own: $(head -n 3 <<<"$bad" | tr '\n' ' ')"
    # Every function the C header declares, which the .NET binding calls by name.
    missing=$(grep -oE '\beccencryption_[a-z_]+\(' "$src/binding/native/include/eccencryption/eccencryption_c.h" |
        tr -d '(' | sort -u | grep -vxF -f <(printf '%s\n' "$exports") || true)
    [ -z "$missing" ] || die "$1 does not export $(echo $missing)"
    echo "    exports: $(wc -l <<<"$exports") symbols, all the library's own, the C interface complete"
}

ensure_packages cmake make dpkg-dev debian-archive-keyring mingw-w64 gcc-mingw-w64-x86-64-posix \
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest nlohmann-json3-dev wine64

t0=$SECONDS
log "Crypto++ for win-x64 (once per build folder)"
"$here/cryptopp-source.sh" "$build/cryptopp-src"
"$here/cryptopp-build.sh" "$build/cryptopp-src/cryptopp" "$build/cryptopp-work" "$build/cryptopp" \
    "${tp}g++-posix" "${tp}ar" "${tp}ranlib"
log "Crypto++: $((SECONDS - t0)) s"

t0=$SECONDS
log "win-x64: library and tests"
werror=OFF
[ "${CI:-}" = true ] && werror=ON
cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DECCENCRYPTION_WERROR="$werror" \
    -DECCENCRYPTION_SELF_CONTAINED=ON -DECCENCRYPTION_CRYPTOPP_ROOT="$build/cryptopp" \
    -DECCENCRYPTION_BUILD_TESTS=ON -DECCENCRYPTION_BUILD_CLI=OFF \
    -DECCENCRYPTION_BUILD_EXAMPLES=OFF -DECCENCRYPTION_INSTALL=OFF >"$build/cmake.log" 2>&1 ||
    { tail -n 20 "$build/cmake.log" >&2; die "cmake configure failed (log: $build/cmake.log)"; }
cmake --build "$build" -j "${JOBS:-2}" >>"$build/cmake.log" 2>&1 ||
    { grep -m 20 -E 'error|Error' "$build/cmake.log" >&2; die "build failed (log: $build/cmake.log)"; }
[ -f "$dll" ] || die "the build made no $dll"
# A release artifact: no debug information or local symbols. In place, so the tests run the
# very DLL that is packaged; make does not relink it for being newer.
"${tp}strip" --strip-unneeded "$dll"
log "library and tests: $((SECONDS - t0)) s"
check_dll "$dll"
log "Windows native: $dll"
