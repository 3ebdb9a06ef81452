#!/usr/bin/env bash
# test-windows.sh BUILD_DIR: runs the GoogleTest suites that natives-windows.sh cross-built in
# BUILD_DIR under Wine (Debian's wine64), through ctest, which runs each program with the
# emulator the toolchain file found. Wine's files live in BUILD_DIR/wineprefix, made once.
# Installs wine64 when it is missing (through sudo when not root).
# Environment: JOBS (default 2) tests run at once.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: test-windows.sh BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd -P) || { echo "test-windows.sh: no build folder $1" >&2; exit 1; }
wine=/usr/lib/wine/wine64

ECC_SCRIPT=test-windows.sh
# shellcheck source=lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

[ -f "$build/CTestTestfile.cmake" ] && [ -f "$build/bin/eccencryption.dll" ] ||
    die "$build holds no Windows build with tests (natives-windows.sh $1 makes one)"
ensure_packages wine64
grep -qE '^ECC_WINE:FILEPATH=/' "$build/CMakeCache.txt" ||
    die "$build was configured without Wine as its emulator: run natives-windows.sh $1 again"

# No debug chatter, no offer to install Gecko for a browser engine no test uses, and nothing
# read from the terminal.
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mshtml=" CI=true
t0=$SECONDS
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "Wine prefix $WINEPREFIX (once per build folder)"
    "$wine" wineboot --init </dev/null >"$build/wineboot.log" 2>&1 ||
        { tail -n 20 "$build/wineboot.log" >&2; die "wineboot could not make $WINEPREFIX"; }
    /usr/lib/wine/wineserver -w
fi
log "native tests under Wine (ctest)"
status=0
ctest --test-dir "$build" --output-on-failure -j "${JOBS:-2}" </dev/null || status=$?
# The Wine server outlives its last program for a few seconds: wait, so nothing is left running.
/usr/lib/wine/wineserver -w
log "tests under Wine: $((SECONDS - t0)) s"
[ "$status" = 0 ] || die "native tests failed under Wine (ctest exit status $status)"
