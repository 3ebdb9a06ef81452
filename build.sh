#!/usr/bin/env bash
# The project's front door. Each command first installs what it needs and is missing
# (Debian packages, through sudo when not root), so a fresh Debian 12 machine needs nothing else.
#
#   ./build.sh demo    build, then a round trip with ecc-crypt: keygen, encrypt, decrypt, compare
#   ./build.sh test    build with warnings as errors under CI=true, then run every test suite
#                      (native tests, the .NET binding's tests, its Mono smoke program and
#                      a round trip through its freshly made NuGet package)
#   ./build.sh bench [ARGS]  Release build, every benchmark with repetitions, table of medians
#   ./build.sh pack    build the native library, then the .NET binding's NuGet package
#                      into artifacts/nuget/
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

BUILD_DIR=${BUILD_DIR:-build}
JOBS=$(nproc 2>/dev/null || echo 2)

CORE_PACKAGES=(cmake make g++ pkg-config libcrypto++-dev)
TEST_PACKAGES=(libgtest-dev nlohmann-json3-dev openssl python3 python3-cryptography)
BENCH_PACKAGES=(libbenchmark-dev python3)
BENCH_BUILD_DIR=${BENCH_BUILD_DIR:-build-bench}

# The .NET binding: its Debian packages (Mono runs the .NET Framework 4.6.2 build) and folder.
MONO_PACKAGES=(mono-runtime libmono-corlib4.5-cil)
DOTNET_DIR=binding/dotnet
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1

log() { printf '==> %s\n' "$*"; }
die() { printf 'build.sh: %s\n' "$*" >&2; exit 1; }

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PKG...: installs the Debian packages that are not installed yet.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# configure_and_build DIR [CMAKE_ARGS...]
configure_and_build() {
    local dir=$1; shift
    local werror=OFF
    [ "${CI:-}" = true ] && werror=ON
    cmake -S . -B "$dir" -DECCENCRYPTION_WERROR="$werror" "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

# A round trip with the command-line tool in a scratch directory, showing each command.
cmd_demo() (
    ensure_packages "${CORE_PACKAGES[@]}"
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=OFF
    tool=$(realpath "$BUILD_DIR/cli/ecc-crypt")
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work"
    step() { printf '  $ ecc-crypt %s\n' "$*"; "$tool" "$@"; }
    log "round trip with ecc-crypt"
    printf '%s\n' "${1:-Attack at dawn.}" >message.txt
    step keygen --private-key demo.key --public-key demo.pub
    stat -c '      %A %n' demo.key demo.pub
    step encrypt --public-key demo.pub --in message.txt --out message.enc
    printf '      message.enc: %s... (%s hex digits)\n' "$(head -c 40 message.enc)" \
        "$(tr -d '\n' <message.enc | wc -c)"
    step decrypt --private-key demo.key --in message.enc --out message.out
    cmp -s message.txt message.out || die "demo: the decrypted message differs"
    printf '      message.out: %s\n' "$(cat message.out)"
    log "a different key pair cannot decrypt it"
    "$tool" keygen --private-key other.key --public-key other.pub
    ! step decrypt --private-key other.key --in message.enc || die "demo: a wrong key decrypted"
)

cmd_test() {
    ensure_packages "${CORE_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=ON \
        -DECCENCRYPTION_BUILD_BENCHMARKS=ON
    log "native tests (ctest)"
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
    log "benchmarks: one short pass, so that they keep building and running"
    "$BUILD_DIR/bench/ecc_bench" --benchmark_min_time=0.01 >/dev/null
    dotnet_tests "$BUILD_DIR"
}

require_dotnet() {
    command -v dotnet >/dev/null || die "the .NET SDK (dotnet) is not on PATH: install it first"
}

# dotnet_pack NATIVE_DIR OUT_DIR: the binding's NuGet package, over NATIVE_DIR's native library.
dotnet_pack() {
    dotnet pack "$DOTNET_DIR/Orvane.Common.CryptographyWrapper" -c Release -v q --nologo \
        -p:EccNativeDir="$(realpath "$1")" -o "$2"
}

# dotnet_tests NATIVE_DIR: the binding's tests over the native library built in NATIVE_DIR.
dotnet_tests() {
    local native
    native=$(realpath "$1")
    require_dotnet
    ensure_packages "${MONO_PACKAGES[@]}"
    log ".NET binding tests (xunit, installed .NET runtime)"
    dotnet test "$DOTNET_DIR/tests" -c Release -v q --nologo -p:EccNativeDir="$native"
    log ".NET Framework 4.6.2 build under Mono"
    dotnet build "$DOTNET_DIR/smoke" -c Release -v q --nologo -p:EccNativeDir="$native" >/dev/null
    mono "$DOTNET_DIR/smoke/bin/Release/net462/Smoke.exe"
    log ".NET binding package, used from a scratch project as a new user would"
    package_test "$native"
}

# package_test NATIVE_DIR: packs the binding into a folder feed, builds a scratch console
# program for net10.0 and net462 against it, and runs the program on .NET and on Mono. Only the
# feed and the local NuGet cache serve the restore, into a scratch package folder, so the fresh
# package is the one used.
package_test() (
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    dotnet_pack "$1" "$work/feed" >/dev/null
    cache=$(dotnet nuget locals global-packages --list | sed 's/^global-packages: //')
    mkdir "$work/app"
    cp "$DOTNET_DIR/package-test/PackageTest.csproj" "$DOTNET_DIR/smoke/Program.cs" "$work/app/"
    cat >"$work/app/nuget.config" <<EOF
<configuration>
  <packageSources>
    <clear />
    <add key="binding" value="$work/feed" />
    <add key="cache" value="$cache" />
  </packageSources>
</configuration>
EOF
    dotnet build "$work/app" -c Release -v q --nologo --packages "$work/packages" >/dev/null
    dotnet "$work/app/bin/Release/net10.0/PackageTest.dll" package
    mono "$work/app/bin/Release/net462/PackageTest.exe" package
)

cmd_pack() {
    ensure_packages "${CORE_PACKAGES[@]}"
    require_dotnet
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=OFF
    log ".NET binding package"
    rm -f artifacts/nuget/*.nupkg
    dotnet_pack "$BUILD_DIR" artifacts/nuget
    ls artifacts/nuget/*.nupkg
}

# cmd_bench [ARGS...]: a Release build of the benchmarks in its own directory, then every
# benchmark with repetitions, and the table of medians: ours, the baseline, their ratio.
# ARGS go to the benchmark program (for example --benchmark_filter=Decrypt).
cmd_bench() {
    ensure_packages "${CORE_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    configure_and_build "$BENCH_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release \
        -DECCENCRYPTION_BUILD_BENCHMARKS=ON -DECCENCRYPTION_BUILD_TESTS=OFF \
        -DECCENCRYPTION_BUILD_EXAMPLES=OFF -DECCENCRYPTION_BUILD_CLI=OFF
    log "benchmarks: medians of ${ECC_BENCH_REPETITIONS:=5} repetitions"
    "$BENCH_BUILD_DIR/bench/ecc_bench" --benchmark_repetitions="$ECC_BENCH_REPETITIONS" \
        --benchmark_report_aggregates_only=true \
        --benchmark_out="$BENCH_BUILD_DIR/bench.json" --benchmark_out_format=json "$@"
    log "medians: ours against the plain Crypto++ baseline"
    python3 bench/ratios.py "$BENCH_BUILD_DIR/bench.json"
}

usage() {
    sed -n '2,/^set /p' "${BASH_SOURCE[0]}" | sed -n 's/^# \{0,1\}//p'
}

case "${1:-}" in
    demo) shift; cmd_demo "$@" ;;
    test) shift; cmd_test "$@" ;;
    bench) shift; cmd_bench "$@" ;;
    pack) shift; cmd_pack "$@" ;;
    -h|--help|help) usage ;;
    *) usage >&2; exit 2 ;;
esac
