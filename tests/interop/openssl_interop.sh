#!/usr/bin/env bash
# The tool's ciphertext format with the openssl command line alone (and xxd, head, tail for
# byte slicing), for the interop test and as the recipe in docs/interop.md.
#   openssl_interop.sh decrypt PRIVATE_KEY_FILE IN OUT
#   openssl_interop.sh encrypt PUBLIC_KEY_FILE IN OUT
# Key files hold key text (hex of the DER encoding); IN and OUT are raw bytes. Ciphertext:
# point (65 bytes) || message XOR key stream || tag (20 bytes); X9.63 KDF over SHA-1 of
# point || shared x gives the 16-byte HMAC-SHA-1 key, then the key stream; the tag covers the
# masked message and eight zero bytes. A failed decryption exits with status 1 and one line.
set -euo pipefail

die() { printf 'openssl_interop.sh: %s\n' "$*" >&2; exit 1; }
[ $# -eq 4 ] || die "usage: openssl_interop.sh encrypt|decrypt KEY_FILE IN OUT"
op=$1 key=$2 in=$3 out=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The SubjectPublicKeyInfo of a P-256 point is this prefix and the 65 point bytes.
SPKI_PREFIX=3059301306072A8648CE3D020106082A8648CE3D030107034200
hex() { cat "$@" | xxd -p | tr -d '\n'; }

tr -d ' \r\n' <"$key" | xxd -r -p >"$tmp/key.der"

# derive_keys POINT_FILE LENGTH: the MAC key into mackey, LENGTH key stream bytes into stream.
derive_keys() {
    openssl kdf -keylen $((16 + $2)) -kdfopt digest:SHA1 \
        -kdfopt hexsecret:"$(hex "$1" "$tmp/z")" -binary -out "$tmp/ks" X963KDF
    head -c 16 "$tmp/ks" >"$tmp/mackey"
    tail -c +17 "$tmp/ks" >"$tmp/stream"
}

# xor A B: A XOR B (same length) on standard output, eight bytes at a time.
xor() {
    paste -d ' ' <(xxd -p -c 8 "$1") <(xxd -p -c 8 "$2") | while read -r a b; do
        printf "%0${#a}x" $((16#$a ^ 16#$b))
    done | xxd -r -p
}

# tag MASKED: HMAC-SHA-1 with mackey over MASKED and eight zero bytes, as upper-case hex.
tag() {
    { cat "$1"; head -c 8 /dev/zero; } >"$tmp/macin"
    openssl mac -digest SHA1 -macopt hexkey:"$(hex "$tmp/mackey")" -in "$tmp/macin" HMAC
}

case $op in
decrypt)
    size=$(stat -c %s "$in")
    [ "$size" -ge 85 ] || die "decrypt failed: the ciphertext is shorter than 85 bytes"
    m=$((size - 85))
    head -c 65 "$in" >"$tmp/point"
    # head reads its whole input, so the pipe never breaks under pipefail.
    head -c $((size - 20)) "$in" | tail -c +66 >"$tmp/masked"
    tail -c 20 "$in" >"$tmp/tag"
    { printf '%s' "$SPKI_PREFIX" | xxd -r -p; cat "$tmp/point"; } >"$tmp/peer.der"
    openssl pkeyutl -derive -inkey "$tmp/key.der" -keyform DER -peerkey "$tmp/peer.der" \
        -peerform DER -out "$tmp/z" 2>"$tmp/err" ||
        die "decrypt failed: the ephemeral point is not a P-256 point"
    derive_keys "$tmp/point" "$m"
    [ "$(tag "$tmp/masked")" = "$(hex "$tmp/tag" | tr a-f A-F)" ] ||
        die "decrypt failed: authentication failed"
    xor "$tmp/masked" "$tmp/stream" >"$out"
    ;;
encrypt)
    m=$(stat -c %s "$in")
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$tmp/eph.pem" 2>/dev/null
    openssl pkey -in "$tmp/eph.pem" -pubout -outform DER | tail -c 65 >"$tmp/point"
    openssl pkeyutl -derive -inkey "$tmp/eph.pem" -peerkey "$tmp/key.der" -peerform DER \
        -out "$tmp/z"
    derive_keys "$tmp/point" "$m"
    xor "$in" "$tmp/stream" >"$tmp/masked"
    { cat "$tmp/point" "$tmp/masked"; tag "$tmp/masked" | xxd -r -p; } >"$out"
    ;;
*) die "unknown operation '$op' (encrypt or decrypt)" ;;
esac
