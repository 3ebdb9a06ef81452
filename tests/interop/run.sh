#!/usr/bin/env bash
# Interoperation of ecc-crypt's ciphertexts with Bouncy Castle for Java (IESEngine and the JCE
# "ECIES" cipher), python3-cryptography and the openssl command line, both ways: their
# ciphertexts decrypt with the tool and the tool's decrypt with them, for messages of 0, 1, 16,
# 20, 21, 1000 and 65536 bytes; tampered ones fail on both sides. Installs the Debian packages
# it needs. Ends with "interop: N passed, M failed"; exit status 0 when nothing failed.
#   tests/interop/run.sh BUILD_DIR   (BUILD_DIR holds cli/ecc-crypt)
set -euo pipefail
ECC_SCRIPT=tests/interop/run.sh
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../packaging/lib.sh"
[ $# -eq 1 ] || die "usage: tests/interop/run.sh BUILD_DIR"
build=$(cd "$1" && pwd) || die "no build directory $1"
tool=$build/cli/ecc-crypt
[ -x "$tool" ] || die "$tool is missing; build the tool first"
ensure_packages default-jdk-headless libbcprov-java python3-cryptography openssl xxd
bcprov=/usr/share/java/bcprov.jar

work=$build/interop
rm -rf "$work"
mkdir -p "$work/classes"
cd "$work"
javac -d classes -cp "$bcprov" "$here/java/EciesInterop.java" ||
    die "javac could not compile EciesInterop.java"

passed=0 failed=0
check() {
    local desc=$1
    shift
    if "$@" >/dev/null 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL [interop] %s\n' "$desc"
    fi
}
fails() { ! "$@"; }

# flip FILE OFFSET: a copy of FILE with the lowest bit of one byte inverted, on standard output.
flip() {
    local value
    value=$(od -An -tu1 -j "$2" -N 1 "$1" | tr -d ' ')
    { head -c "$2" "$1"; printf "\\$(printf '%03o' $((value ^ 1)))"; tail -c +$(($2 + 2)) "$1"; }
}

# compress FILE: the ciphertext with its ephemeral point in compressed form (02/03 || x), which
# the format does not allow.
compress() {
    local last
    last=$(od -An -tu1 -j 64 -N 1 "$1" | tr -d ' ')
    { printf "\\$(printf '%03o' $((2 + last % 2)))"; head -c 33 "$1" | tail -c 32; tail -c +66 "$1"; }
}

ours_decrypt() { "$tool" decrypt --binary --private-key k --in "$1" --out "$2"; }

sizes="0 1 16 20 21 1000 65536"
"$tool" keygen --private-key k --public-key k.pub
for n in $sizes; do
    head -c "$n" /dev/urandom >"m.$n"
    "$tool" encrypt --binary --public-key k.pub --in "m.$n" --out "ours.$n"
done
flip ours.1000 70 >ours.bad-message
flip ours.20 104 >ours.bad-tag
flip ours.16 10 >ours.bad-point

# Bouncy Castle: one JVM runs every operation; it answers one line per operation, in order.
ops=() expect=()
for engine in ies jce; do
    for n in $sizes; do
        ops+=("decrypt $engine k ours.$n bc-$engine.$n.out") expect+=(ok)
        ops+=("encrypt $engine k.pub m.$n bc-$engine.$n.ct") expect+=(ok)
    done
    for bad in bad-message bad-tag bad-point; do
        ops+=("decrypt $engine k ours.$bad bc-$engine.$bad.out") expect+=(error)
    done
done
mapfile -t answers < <(printf '%s\n' "${ops[@]}" | java -cp "classes:$bcprov" EciesInterop)
for i in "${!ops[@]}"; do
    check "bouncy castle: ${ops[$i]} -> ${answers[$i]:-no answer}" \
        [ "${answers[$i]:-}" = "${expect[$i]}" -o "${answers[$i]%%:*}" = "${expect[$i]}" ]
done
for engine in ies jce; do
    for n in $sizes; do
        check "bc-$engine decrypts ours ($n bytes)" cmp "m.$n" "bc-$engine.$n.out"
        check "bc-$engine ciphertext is m + 85 bytes ($n)" \
            [ "$(stat -c %s "bc-$engine.$n.ct")" -eq $((n + 85)) ]
        check "ecc-crypt decrypts bc-$engine ($n bytes)" ours_decrypt "bc-$engine.$n.ct" out
        check "ecc-crypt gets the bc-$engine message ($n bytes)" cmp "m.$n" out
    done
    flip "bc-$engine.1000.ct" 1084 >"bc-$engine.bad-tag"
    check "ecc-crypt refuses a tampered bc-$engine ciphertext" fails ours_decrypt "bc-$engine.bad-tag" out
done
# Bouncy Castle's parser reads a compressed ephemeral point (02/03 || x); the format, and so
# the tool, does not: a Java sender must encode the point uncompressed.
compress ours.21 >ours.compressed
check "ecc-crypt refuses a compressed point" fails ours_decrypt ours.compressed out

# python3-cryptography and the openssl command line: one process per operation.
for impl in python openssl; do
    if [ "$impl" = python ]; then foreign=(python3 "$here/python_interop.py"); else foreign=("$here/openssl_interop.sh"); fi
    for n in $sizes; do
        check "$impl decrypts ours ($n bytes)" "${foreign[@]}" decrypt k "ours.$n" "$impl.$n.out"
        check "$impl gets our message ($n bytes)" cmp "m.$n" "$impl.$n.out"
        check "$impl encrypts ($n bytes)" "${foreign[@]}" encrypt k.pub "m.$n" "$impl.$n.ct"
        check "ecc-crypt decrypts $impl ($n bytes)" ours_decrypt "$impl.$n.ct" out
        check "ecc-crypt gets the $impl message ($n bytes)" cmp "m.$n" out
    done
    for bad in bad-message bad-tag bad-point; do
        check "$impl refuses ours.$bad" fails "${foreign[@]}" decrypt k "ours.$bad" x
    done
    flip "$impl.1000.ct" 500 >"$impl.bad-message"
    check "ecc-crypt refuses a tampered $impl ciphertext" fails ours_decrypt "$impl.bad-message" out
done

printf 'interop: %d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
