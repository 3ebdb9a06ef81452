#!/usr/bin/env bash
# test-arm64.sh BUILD_DIR: runs the GoogleTest suites of the arm64 native that natives-linux.sh built
# in BUILD_DIR/linux-arm64-build, under qemu's user-mode emulation in the Debian 11 tree (ctest calls
# qemu-aarch64-static through the cross toolchain's emulator setting), and prints ctest's summary.
# ECC_ARM64_TESTS: a ctest -R pattern choosing the arm64 tests; unset or empty runs all of them
# (about 35 s under emulation on two cores).
# Unless ECC_NATIVES_X64_TESTS=OFF, the x64 native's suites (natives-linux.sh builds them too) run
# natively first.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: test-arm64.sh BUILD_DIR" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
build=$(cd "$1" && pwd -P)
pattern=${ECC_ARM64_TESTS:-}

die() { echo "test-arm64.sh: $*" >&2; exit 1; }

# run_ctest DIR PATTERN: ctest in DIR inside the tree (its ctest predates --test-dir). The
# allocation-failure tests are left out: they fail allocations through a replacement operator
# new in the test program, which cannot reach a self-contained library, whose C++ runtime
# (operator new included) is linked in and hidden.
run_ctest() {
    local args=(--output-on-failure -j "${JOBS:-2}" --timeout 1500 -E '^AllocationFailure\.')
    [ -z "$2" ] || args+=(-R "$2")
    "$here/debian11-root.sh" "$build" bash -c 'cd "$0" && exec ctest "$@"' "$1" "${args[@]}"
}

if [ "${ECC_NATIVES_X64_TESTS:-ON}" = ON ]; then
    [ -f "$build/linux-x64-build/tests/CTestTestfile.cmake" ] ||
        die "no x64 tests in $build/linux-x64-build: run natives-linux.sh first (not with ECC_NATIVES_X64_TESTS=OFF)"
    echo "==> linux-x64 native's tests (all, native)"
    t0=$SECONDS
    run_ctest "$build/linux-x64-build" ""
    echo "  $((SECONDS - t0)) s"
fi

[ -f "$build/linux-arm64-build/tests/CTestTestfile.cmake" ] ||
    die "no arm64 tests in $build/linux-arm64-build: run natives-linux.sh first"
echo "==> linux-arm64 native's tests under qemu (${pattern:-all})"
t0=$SECONDS
run_ctest "$build/linux-arm64-build" "$pattern"
echo "  $((SECONDS - t0)) s"
