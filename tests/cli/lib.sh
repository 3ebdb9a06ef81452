# Helpers for the ecc-crypt test scripts. A script sources this file with the tool's path as its
# first argument; it then runs in a fresh temporary directory, removed at exit, and ends with
# `finish`, which prints the summary and sets the exit status.
set -u
TOOL=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
GROUP=$(basename "$0" .sh)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
umask 022
CHECKS=0
FAILED=0

fail() {
    FAILED=$((FAILED + 1))
    printf 'FAIL [%s] %s\n' "$GROUP" "$*"
}

# check DESCRIPTION COMMAND...: one check that passes when COMMAND succeeds.
check() {
    local desc=$1
    shift
    CHECKS=$((CHECKS + 1))
    "$@" || fail "$desc"
}

# run ARGS...: runs the tool with standard input from $STDIN (default /dev/null); leaves the
# exit status in $rc, standard output in ./out and standard error in ./err.
run() {
    "$TOOL" "$@" <"${STDIN:-/dev/null}" >out 2>err
    rc=$?
}

# expect_ok DESCRIPTION ARGS...: the tool succeeds and writes nothing on standard error.
expect_ok() {
    local desc=$1
    shift
    run "$@"
    CHECKS=$((CHECKS + 1))
    if [ "$rc" -ne 0 ] || [ -s err ]; then
        fail "$desc: exit $rc, stderr: $(head -c 300 err)"
    fi
}

# expect_fail DESCRIPTION STATUS MESSAGE ARGS...: the tool exits with STATUS and the first line
# of standard error is "ecc-crypt: MESSAGE". A failure (1) writes exactly that one line and
# nothing on standard output; a usage error (2) follows it with the command's usage.
expect_fail() {
    local desc=$1 status=$2 message=$3
    shift 3
    run "$@"
    CHECKS=$((CHECKS + 1))
    local first
    first=$(head -n 1 err)
    if [ "$rc" -ne "$status" ]; then
        fail "$desc: exit $rc, expected $status; stderr: $first"
    elif [ "$first" != "ecc-crypt: $message" ]; then
        fail "$desc: stderr '$first', expected 'ecc-crypt: $message'"
    elif [ "$status" -eq 1 ] && { [ "$(wc -l <err)" -ne 1 ] || [ -s out ]; }; then
        fail "$desc: more than one line of output"
    elif [ "$status" -eq 2 ] && ! grep -q '^Usage: ecc-crypt' err; then
        fail "$desc: no usage on standard error"
    fi
}

# no_temporaries [DIR]: no temporary output file was left behind.
no_temporaries() {
    [ -z "$(find "${1:-.}" -maxdepth 1 -name '.*.tmp-*' -print -quit)" ]
}

mode_of() { stat -c %a "$1"; }

differ() { ! cmp -s "$1" "$2"; }

# make_keys NAME: a key pair in NAME (private) and NAME.pub.
make_keys() {
    "$TOOL" keygen --private-key "$1" --public-key "$1.pub" || fail "keygen $1"
}

# flip_byte FILE OFFSET: inverts the lowest bit of one byte in place.
flip_byte() {
    local value
    value=$(od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' ')
    printf "\\$(printf '%03o' $((value ^ 1)))" |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

finish() {
    printf '%s: %d checks, %d failed\n' "$GROUP" "$CHECKS" "$FAILED"
    [ "$FAILED" -eq 0 ]
}
