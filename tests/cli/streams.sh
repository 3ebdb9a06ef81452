# ecc-crypt on inputs of many pieces: altered ciphertexts leave no output wherever the change
# is, memory stays small whatever the size, progress shows only on a terminal, outputs that are
# not regular files are written to rather than replaced, and once, a message above 4 GiB.
. "$(dirname "$0")/lib.sh"

make_keys k
head -c $((3 << 20)) /dev/urandom >m
"$TOOL" encrypt --public-key k.pub --in m --out c.bin --binary || fail "encrypt --binary"
"$TOOL" encrypt --public-key k.pub --in m --out c || fail "encrypt"
SIZE=$(stat -c %s c.bin)

# Altered in each region of a ciphertext that the tool reads in several pieces: no output file,
# no temporary, and nothing on standard output.
AUTH="ciphertext failed authentication (wrong key or altered data)"
for region in "point:10" "first piece:100" "last piece:$((SIZE - 21))" "tag:$((SIZE - 1))"; do
    cp c.bin x.bin
    flip_byte x.bin "${region#*:}"
    expect_fail "${region%%:*} altered, to a file" 1 "decrypt: $AUTH" \
        decrypt --private-key k --binary --in x.bin --out d
    check "${region%%:*} altered: no output file" [ ! -e d ]
    check "${region%%:*} altered: no temporary file" no_temporaries
    STDIN=x.bin expect_fail "${region%%:*} altered, to standard output" 1 "decrypt: $AUTH" \
        decrypt --private-key k --binary
done

# Peak memory (resident set) of a run, in KiB.
peak_kib() {
    python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True, stdin=sys.stdin, stdout=sys.stdout)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, file=sys.stderr)' "$@" 2>&1 >/dev/null
}
head -c $((256 << 20)) /dev/zero >big
check "encrypt 256 MiB from a pipe in under 32 MiB" \
    [ "$(peak_kib "$TOOL" encrypt --public-key k.pub --binary --out big.c <big)" -lt 32768 ]
check "decrypt 256 MiB of hex text in under 32 MiB" \
    [ "$("$TOOL" encrypt --public-key k.pub --in big --out big.t &&
        peak_kib "$TOOL" decrypt --private-key k --in big.t --out big.d)" -lt 32768 ]
check "the 256 MiB round trip" cmp -s big big.d
rm -f big.c big.t big.d

# Progress: on a terminal when asked, never elsewhere.
expect_ok "--progress into a file shows nothing" encrypt --public-key k.pub --in m --out p --progress
if script -qec true /dev/null >/dev/null 2>&1; then
    script -qec "'$TOOL' encrypt --public-key k.pub --in m --out p --progress" /dev/null >tty.out 2>&1
    check "--progress on a terminal" grep -q "ecc-crypt: encrypting 3.0 of 3.0 MiB (100%)" tty.out
    script -qec "'$TOOL' decrypt --private-key k --in c --out p" /dev/null >tty.out 2>&1
    check "no progress for a small input" [ ! -s tty.out ]
fi

# A pipe named as --out is written to, and stays a pipe.
mkfifo out.fifo
cat out.fifo >from.fifo &
expect_ok "decrypt into a named pipe" decrypt --private-key k --in c --out out.fifo
wait
check "the pipe received the message" cmp -s m from.fifo
check "the pipe is still a pipe" [ -p out.fifo ]

# Above 4 GiB, which a one-shot Encrypt cannot take: a sparse message of 4 GiB and 4 KiB,
# encrypted to a file and decrypted to standard output (spooled in $TMPDIR until the tag has
# matched). About 8.5 GiB of disk for the ciphertext and the spool.
LARGE=$(((4 << 30) + 4096))
if [ -n "${ECC_SKIP_LARGE_TESTS:-}" ]; then
    echo "streams: the message above 4 GiB is skipped (ECC_SKIP_LARGE_TESTS)"
elif [ "$(df -Pk . | awk 'NR == 2 {print $4}')" -lt $((9 << 20)) ]; then
    echo "streams: the message above 4 GiB is skipped: less than 9 GiB free in $WORK"
else
    truncate -s "$LARGE" huge
    printf 'end' | dd of=huge bs=1 seek=$((LARGE - 3)) conv=notrunc status=none
    expect_ok "encrypt above 4 GiB" encrypt --public-key k.pub --binary --in huge --out huge.c
    check "ciphertext above 4 GiB has point, message and tag" [ "$(stat -c %s huge.c)" -eq $((LARGE + 85)) ]
    TMPDIR=$WORK "$TOOL" decrypt --private-key k --binary --in huge.c | cmp -s - huge
    check "decrypt above 4 GiB gives the message back" [ "${PIPESTATUS[0]}${PIPESTATUS[1]}" = 00 ]
    rm -f huge huge.c
fi

finish
