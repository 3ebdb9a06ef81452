#!/usr/bin/env bash
# The project's front door. Each command first installs what it needs and is missing
# (Debian packages, through sudo when not root), so a fresh Debian 12 machine needs nothing else.
#
#   ./build.sh demo    build, then a round trip with ecc-crypt: keygen, encrypt, decrypt, compare
#   ./build.sh test    build with warnings as errors under CI=true, then run every test suite:
#                      native tests; the self-contained natives for win-x64 (tests under Wine),
#                      linux-x64 and linux-arm64 (tests under qemu); the .NET binding's tests,
#                      its Mono smoke program and its freshly made NuGet package on .NET, Mono,
#                      Windows (Wine) and a Debian 11 tree; the Debian packages on a fresh
#                      Debian 12 tree; then the hardening runs: ctest under ASan+UBSan, the
#                      concurrency test under TSan, valgrind, every fuzz target for
#                      ECC_FUZZ_SECONDS (60) s
#   ./build.sh bench [ARGS]  Release build, every benchmark with repetitions, table of medians,
#                      then ecc-crypt's throughput and memory on a 1 GiB file
#   ./build.sh fuzz [SECONDS]  build the fuzz targets and run each for SECONDS (default 60; 0 builds only)
#   ./build.sh pack    build the self-contained natives for win-x64, linux-x64 and linux-arm64,
#                      then the .NET binding's NuGet package into artifacts/nuget/
#   ./build.sh deb     the Debian packages libeccencryption1, libeccencryption-dev and ecc-crypt
#                      into artifacts/deb/, checked with lintian
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

BUILD_DIR=${BUILD_DIR:-build}
JOBS=$(nproc 2>/dev/null || echo 2)

CORE_PACKAGES=(cmake make g++ pkg-config libcrypto++-dev)
TEST_PACKAGES=(libgtest-dev nlohmann-json3-dev openssl python3 python3-cryptography)
BENCH_PACKAGES=(libbenchmark-dev python3 time)  # time: GNU time, for peak memory
BENCH_BUILD_DIR=${BENCH_BUILD_DIR:-build-bench}

# The .NET binding: its Debian packages (Mono runs the .NET Framework 4.6.2 build) and folder.
MONO_PACKAGES=(mono-runtime libmono-corlib4.5-cil)
DOTNET_DIR=binding/dotnet
export DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1

# shellcheck source=packaging/lib.sh
. packaging/lib.sh

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

# The self-contained natives of the NuGet package, each in its build folder: Crypto++ and the
# C++ runtime linked in, built once per folder.
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
LINUX_NATIVES_DIR=${LINUX_NATIVES_DIR:-build-natives}
DEB_BUILD_DIR=${DEB_BUILD_DIR:-build-deb}

build_natives() {
    timed "win-x64 native" packaging/natives-windows.sh "$WIN_BUILD_DIR"
    timed "linux-x64 and linux-arm64 natives" packaging/natives-linux.sh "$LINUX_NATIVES_DIR"
}

cmd_test() {
    ensure_packages "${CORE_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=ON \
        -DECCENCRYPTION_BUILD_BENCHMARKS=ON
    log "native tests (ctest)"
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
    log "benchmarks: one short pass, so that they keep building and running"
    local bench_out
    bench_out=$("$BUILD_DIR/bench/ecc_bench" --benchmark_min_time=0.01 2>&1)
    # A benchmark whose operation fails reports it and skips; the program still exits 0.
    ! grep -F 'ERROR OCCURRED' <<<"$bench_out" || die "a benchmark's operation failed"
    log "timing measurement: a short pass, so that it keeps working (its figures need 100000 per class)"
    "$BUILD_DIR/bench/ecc_timing" --measurements 2000
    log "ecc-crypt throughput: a short pass over 32 MiB"
    python3 bench/tool.py "$BUILD_DIR/cli/ecc-crypt" --size 32 --runs 1
    build_natives
    timed "win-x64 tests under Wine" packaging/test-windows.sh "$WIN_BUILD_DIR"
    timed "linux-arm64 tests under qemu" packaging/test-arm64.sh "$LINUX_NATIVES_DIR"
    timed ".NET" dotnet_tests "$BUILD_DIR"
    timed "interop (Bouncy Castle Java, python3-cryptography, OpenSSL)" tests/interop/run.sh "$BUILD_DIR"
    timed "Debian packages" deb_tests
    timed asan run_asan
    timed tsan run_tsan
    timed valgrind run_valgrind
    [ "$ECC_FUZZ_SECONDS" = 0 ] || timed fuzz cmd_fuzz "$ECC_FUZZ_SECONDS"
}

require_dotnet() {
    command -v dotnet >/dev/null || die "the .NET SDK (dotnet) is not on PATH: install it first"
}

# dotnet_pack HOST_NATIVE_DIR OUT_DIR: the binding's NuGet package with the three self-contained
# natives (build_natives makes them); HOST_NATIVE_DIR holds this machine's build for the build
# output.
dotnet_pack() {
    dotnet pack "$DOTNET_DIR/Orvane.Common.CryptographyWrapper" -c Release -v q --nologo \
        -p:EccNativeDir="$(realpath "$1")" \
        -p:EccNativeWinX64="$(realpath "$WIN_BUILD_DIR/bin/eccencryption.dll")" \
        -p:EccNativeLinuxX64="$(realpath "$LINUX_NATIVES_DIR/linux-x64/libeccencryption.so")" \
        -p:EccNativeLinuxArm64="$(realpath "$LINUX_NATIVES_DIR/linux-arm64/libeccencryption.so")" \
        -o "$2"
}

# dotnet_tests NATIVE_DIR: the binding's tests over the native library built in NATIVE_DIR, then
# its package, made from the self-contained natives, on every platform it serves.
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
    log ".NET benchmarks: one dry pass, so that they keep building and running"
    dotnet run --project "$DOTNET_DIR/bench" -c Release -v q -p:EccNativeDir="$native" \
        -- --filter '*' --job Dry >"$BUILD_DIR/dotnet-bench.log" 2>&1 \
        || { tail -n 30 "$BUILD_DIR/dotnet-bench.log"; die ".NET benchmarks failed (log: $BUILD_DIR/dotnet-bench.log)"; }
    log ".NET binding package, used from scratch projects as a new user would"
    local work=$BUILD_DIR/package-test
    rm -rf "$work" && mkdir -p "$work/feed"
    dotnet_pack "$native" "$work/feed" >/dev/null
    WINEPREFIX=$(realpath "$WIN_BUILD_DIR")/wineprefix \
        ECC_LINUX_TREE="packaging/debian11-root.sh $LINUX_NATIVES_DIR --dotnet" \
        "$DOTNET_DIR/package-test/run.sh" "$work/feed" "$BUILD_DIR/cli/ecc-crypt" "$work/run"
}

# deb_tests: the Debian packages, made and checked with lintian, then installed, used and
# removed on a fresh Debian 12 tree.
deb_tests() {
    packaging/deb.sh "$DEB_BUILD_DIR" artifacts/deb
    as_root packaging/deb-test.sh artifacts/deb "$DEB_BUILD_DIR"
}

cmd_pack() {
    ensure_packages "${CORE_PACKAGES[@]}"
    require_dotnet
    configure_and_build "$BUILD_DIR" -DECCENCRYPTION_BUILD_TESTS=OFF
    build_natives
    log ".NET binding package"
    rm -f artifacts/nuget/*.nupkg
    dotnet_pack "$BUILD_DIR" artifacts/nuget
    ls artifacts/nuget/*.nupkg
}

cmd_deb() {
    packaging/deb.sh "$DEB_BUILD_DIR" artifacts/deb
}

# Hardening runners: the ctest suite under sanitizers, valgrind over the GoogleTest executables,
# and the libFuzzer targets. Each has its own build directory beside the main one.
HARDENING_PACKAGES=(valgrind)
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)  # llvm-14: the symbolizer for crash stacks
ASAN_BUILD_DIR=${ASAN_BUILD_DIR:-build-asan}
TSAN_BUILD_DIR=${TSAN_BUILD_DIR:-build-tsan}
FUZZ_BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}
# Seconds each fuzz target runs under `test`; 0 skips fuzzing there.
ECC_FUZZ_SECONDS=${ECC_FUZZ_SECONDS:-60}
# ctest names run under ThreadSanitizer: the concurrency test, and the Wycheproof vectors so
# that they pass through every sanitizer build.
TSAN_TEST_REGEX=${TSAN_TEST_REGEX:-Concurrent|Wycheproof}

# timed NAME CMD...: runs CMD and logs how long it took.
timed() {
    local name=$1 start=$SECONDS; shift
    "$@"
    log "$name: done in $((SECONDS - start)) s"
}

# configure_sanitized DIR FLAGS: the whole tree built with g++ and FLAGS. Warnings are checked
# (as errors under CI) by the main build, so they are not made errors again here. Without the
# install rules: their tests build consumer programs outside the tree, without the sanitizer
# runtime, which cannot load an instrumented library; the main build runs them.
configure_sanitized() {
    local dir=$1 flags=$2
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DECCENCRYPTION_WERROR=OFF \
        -DECCENCRYPTION_BUILD_TESTS=ON -DECCENCRYPTION_BUILD_EXAMPLES=OFF -DECCENCRYPTION_INSTALL=OFF \
        -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" >/dev/null
    cmake --build "$dir" -j "$JOBS" >"$dir/build.log" 2>&1 || { tail -n 40 "$dir/build.log"; die "sanitizer build in $dir failed"; }
}

run_asan() {
    log "AddressSanitizer + UndefinedBehaviorSanitizer: every ctest test ($ASAN_BUILD_DIR)"
    configure_sanitized "$ASAN_BUILD_DIR" "-fsanitize=address,undefined -fno-sanitize-recover=undefined"
    # ECC_SKIP_LARGE_TESTS: the 4 GiB message test has run in the main build; instrumented, it
    # costs minutes and gigabytes of shadow memory while checking nothing new.
    ECC_SKIP_LARGE_TESTS=1 \
        ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:strict_string_checks=1:check_initialization_order=1 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        ctest --test-dir "$ASAN_BUILD_DIR" --output-on-failure --no-tests=error -j "$JOBS"
}

run_tsan() {
    log "ThreadSanitizer: ctest -R '$TSAN_TEST_REGEX' ($TSAN_BUILD_DIR)"
    configure_sanitized "$TSAN_BUILD_DIR" "-fsanitize=thread"
    # Crypto++ creates its shared algorithm objects by double-checked locking with relaxed atomics
    # and stand-alone fences (Singleton::Ref in cryptopp/misc.h). ThreadSanitizer does not model
    # such fences and reports the first use from a second thread as a race with the creation;
    # treating every atomic access as sequentially consistent gives it the ordering the fences
    # give. No suppressions: any other race fails the run.
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 force_seq_cst_atomics=1" \
        ctest --test-dir "$TSAN_BUILD_DIR" --output-on-failure --no-tests=error -j "$JOBS" \
        -R "$TSAN_TEST_REGEX"
}

# run_valgrind: memcheck over each GoogleTest executable of the main build, all its cases in
# one run. Any memory error or leak fails.
run_valgrind() {
    ensure_packages "${HARDENING_PACKAGES[@]}"
    log "valgrind memcheck over the GoogleTest executables ($BUILD_DIR)"
    local exes exe name vlog failed=0
    exes=$(ctest --test-dir "$BUILD_DIR" --show-only=json-v1 | python3 -c '
import json, sys
seen = []
for t in json.load(sys.stdin)["tests"]:
    cmd = t.get("command") or []
    if any(a.startswith("--gtest_filter") for a in cmd[1:]) and cmd[0] not in seen:
        seen.append(cmd[0])
print("\n".join(seen))')
    [ -n "$exes" ] || die "valgrind: no GoogleTest executables registered with ctest in $BUILD_DIR"
    while IFS= read -r exe; do
        name=$(basename "$exe")
        vlog="$(cd "$BUILD_DIR" && pwd)/valgrind-$name.log"
        # A test that replaces operator new to inject allocation failures cannot run under
        # memcheck, which takes the allocator over; ASan runs it instead.
        if nm -D --defined-only "$exe" 2>/dev/null | grep -qE ' _Zn[wa]m$'; then
            printf '    %-28s skipped: replaces operator new\n' "$name"
            continue
        fi
        if (cd "$(dirname "$exe")" && ECC_SKIP_LARGE_TESTS=1 valgrind --tool=memcheck --error-exitcode=99 \
                --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
                --show-leak-kinds=definite,indirect,possible --num-callers=30 \
                --log-file="$vlog" "$exe" --gtest_brief=1 >"$vlog.out" 2>&1); then
            printf '    %-28s %s; valgrind: %s\n' "$name" \
                "$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\./\1 tests passed/p' "$vlog.out")" \
                "$(grep -o 'ERROR SUMMARY: [0-9]* errors' "$vlog" | tail -n 1)"
        else
            failed=1
            printf '    %-28s FAILED\n' "$name"
            tail -n 30 "$vlog.out"
            sed -n '/ERROR SUMMARY/,$p;/Invalid\|uninitialised\|definitely lost\|indirectly lost\|possibly lost/,+12p' "$vlog" | head -n 80
        fi
    done <<<"$exes"
    [ "$failed" = 0 ] || die "valgrind found errors (logs: $BUILD_DIR/valgrind-*.log)"
}

# build_fuzzers: every libFuzzer target, with the library built under ASan and UBSan too.
build_fuzzers() {
    ensure_packages "${CORE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
    log "building the fuzz targets ($FUZZ_BUILD_DIR)"
    cmake -S . -B "$FUZZ_BUILD_DIR" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DECCENCRYPTION_BUILD_FUZZ=ON -DBUILD_SHARED_LIBS=OFF -DECCENCRYPTION_BUILD_TESTS=OFF \
        -DECCENCRYPTION_BUILD_EXAMPLES=OFF -DECCENCRYPTION_INSTALL=OFF \
        -DECCENCRYPTION_WERROR=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
        >/dev/null
    cmake --build "$FUZZ_BUILD_DIR" -j "$JOBS" >"$FUZZ_BUILD_DIR/build.log" 2>&1 || { tail -n 40 "$FUZZ_BUILD_DIR/build.log"; die "fuzz build failed"; }
}

# run_fuzzers SECONDS: runs every target for SECONDS, as many at once as there are cores,
# starting from its seed corpus in fuzz/corpus/. What each run adds, and any reproducer, stays
# in $FUZZ_BUILD_DIR/out/<target>/.
run_fuzzers() {
    local seconds=$1 out=$FUZZ_BUILD_DIR/out failed=0 exe name dir rc i=0
    local targets=() seeds=()
    mapfile -t targets < <(find "$FUZZ_BUILD_DIR/fuzz" -maxdepth 1 -type f -name '*_fuzzer' -perm -u+x | sort)
    [ ${#targets[@]} -gt 0 ] || die "no fuzz targets in $FUZZ_BUILD_DIR/fuzz"
    log "fuzzing ${#targets[@]} targets for $seconds s each"
    rm -rf "$out"
    for exe in "${targets[@]}"; do
        name=$(basename "$exe") dir=$out/$name
        mkdir -p "$dir/corpus"
        seeds=()
        [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
        (
            rc=0
            ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer \
                ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
                "$exe" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -print_final_stats=1 \
                -artifact_prefix="$dir/" "$dir/corpus" "${seeds[@]}" >"$dir/log" 2>&1 || rc=$?
            echo "$rc" >"$dir/rc"
        ) &
        i=$((i + 1))
        [ $((i % JOBS)) = 0 ] && wait
    done
    wait
    for exe in "${targets[@]}"; do
        name=$(basename "$exe") dir=$out/$name
        rc=$(cat "$dir/rc")
        printf '    %-26s executions %s, %s exec/s, %s, corpus %s files, %s\n' "$name" \
            "$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")" \
            "$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")" \
            "$(grep -o 'cov: [0-9]* ft: [0-9]*' "$dir/log" | tail -n 1)" \
            "$(find "$dir/corpus" "fuzz/corpus/$name" -type f 2>/dev/null | wc -l)" \
            "$([ "$rc" = 0 ] && echo ok || echo "FAILED (exit $rc)")"
        if [ "$rc" != 0 ]; then
            failed=1
            grep -E -A 30 'ERROR|property violated|runtime error' "$dir/log" | head -n 60
            for f in "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-*; do
                [ -f "$f" ] || continue
                printf '    reproducer %s (base64): %s\n    rerun: %s %s\n' "$f" "$(base64 -w0 "$f")" "$exe" "$f"
            done
        fi
    done
    [ "$failed" = 0 ] || die "a fuzz target failed; reproducers are in $out"
}

cmd_fuzz() {
    local seconds=${1:-60}
    [[ "$seconds" =~ ^[0-9]+$ ]] || die "fuzz: SECONDS must be a whole number"
    build_fuzzers
    [ "$seconds" = 0 ] || run_fuzzers "$seconds"
}

# cmd_bench [ARGS...]: a Release build of the benchmarks in its own directory, then every
# benchmark with repetitions, and the table of medians: ours, the baseline, their ratio.
# Repetitions of different benchmarks are interleaved in random order, so that a change in
# the machine's load falls on ours and the baseline alike.
# ARGS go to the benchmark program (for example --benchmark_filter=Decrypt).
cmd_bench() {
    ensure_packages "${CORE_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    configure_and_build "$BENCH_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release \
        -DECCENCRYPTION_BUILD_BENCHMARKS=ON -DECCENCRYPTION_BUILD_TESTS=OFF \
        -DECCENCRYPTION_BUILD_EXAMPLES=OFF -DECCENCRYPTION_BUILD_CLI=ON
    log "benchmarks: medians of ${ECC_BENCH_REPETITIONS:=9} repetitions"
    "$BENCH_BUILD_DIR/bench/ecc_bench" --benchmark_repetitions="$ECC_BENCH_REPETITIONS" \
        --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
        --benchmark_out="$BENCH_BUILD_DIR/bench.json" --benchmark_out_format=json "$@"
    log "medians: ours against the plain Crypto++ baseline"
    python3 bench/ratios.py "$BENCH_BUILD_DIR/bench.json"
    log "ecc-crypt on a large file, against the in-memory rate"
    python3 bench/tool.py "$BENCH_BUILD_DIR/cli/ecc-crypt" --size "${ECC_BENCH_TOOL_MIB:-1024}" \
        --bench "$BENCH_BUILD_DIR/bench.json"
}

usage() {
    sed -n '2,/^set /p' "${BASH_SOURCE[0]}" | sed -n 's/^# \{0,1\}//p'
}

case "${1:-}" in
    demo) shift; cmd_demo "$@" ;;
    test) shift; cmd_test "$@" ;;
    bench) shift; cmd_bench "$@" ;;
    fuzz) shift; cmd_fuzz "$@" ;;
    pack) shift; cmd_pack "$@" ;;
    deb) shift; cmd_deb "$@" ;;
    -h|--help|help) usage ;;
    *) usage >&2; exit 2 ;;
esac
