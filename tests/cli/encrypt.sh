# ecc-crypt encrypt: ciphertext forms, round trips through decrypt, standard input and output,
# key-file checks, and no output at all on failure.
. "$(dirname "$0")/lib.sh"

make_keys k
make_keys other

# Round trips: files, standard input and output, hex text and raw bytes. 65536 and 65537 cross
# the size of the pieces in which hex text is written.
for size in 0 1 100 65536 65537 200000; do
    head -c "$size" /dev/urandom >"m$size"
    expect_ok "encrypt $size bytes" encrypt --public-key k.pub --in "m$size" --out "c$size"
    check "$size bytes: one line" [ "$(wc -l <"c$size")" -eq 1 ]
    check "$size bytes: $((2 * (size + 85))) digits" [ "$(tr -d '\n' <"c$size" | wc -c)" -eq $((2 * (size + 85))) ]
    check "$size bytes: upper-case hex only" grep -Eqx '[0-9A-F]+' "c$size"
    check "$size bytes: starts with an uncompressed point" [ "$(head -c 2 "c$size")" = 04 ]
    expect_ok "decrypt $size bytes" decrypt --private-key k --in "c$size" --out "d$size"
    check "$size bytes: round trip" cmp -s "m$size" "d$size"

    STDIN="m$size" expect_ok "encrypt $size bytes, binary, stdin to stdout" encrypt --public-key k.pub --binary
    mv out "b$size"
    check "$size bytes: binary ciphertext is $((size + 85)) bytes" [ "$(wc -c <"b$size")" -eq $((size + 85)) ]
    STDIN="b$size" expect_ok "decrypt $size bytes, binary, stdin to stdout" decrypt --private-key k --binary
    check "$size bytes: binary round trip" cmp -s "m$size" out
done

STDIN=m100 run encrypt --public-key k.pub
check "two encryptions differ" differ c100 out
STDIN=m100 expect_ok "'-' names standard input and output" encrypt --public-key k.pub --in - --out -
check "'-' output is ciphertext text" [ "$(wc -c <out)" -eq $((2 * 185 + 1)) ]

# Key files: white space around the text and lower case are accepted.
{ printf ' \r\n\t'; tr 'A-F' 'a-f' <k.pub | tr -d '\n'; printf '\r\n\n'; } >loose.pub
expect_ok "key text with white space around it, lower case" encrypt --public-key loose.pub --in m100 --out loose.c
expect_ok "...decrypts" decrypt --private-key k --in loose.c --out loose.d
check "...round trip" cmp -s m100 loose.d

mkdir adir
: >empty.pub
printf '3059301306072A8648CE3D0201\n' | tr 0 G >nothex.pub
printf '3059301306072A8648CE3D02010\n' >odd.pub
printf '0102030405\n' >notakey.pub
# A point that is not on the curve: the last digit of y changed.
key=$(cat k.pub)
if [ "${key: -1}" = 0 ]; then printf '%s1\n' "${key%?}"; else printf '%s0\n' "${key%?}"; fi >offcurve.pub
head -c 70000 /dev/zero | tr '\0' A >big.pub

# description | exit status | first line of standard error | arguments (each writes --out c.out)
while IFS='|' read -r desc status message args; do
    [ -z "$desc" ] && continue
    # shellcheck disable=SC2086
    expect_fail "$desc" "$status" "$message" encrypt $args --out c.out
    check "$desc: no output file" [ ! -e c.out ]
    check "$desc: no temporary file" no_temporaries
done <<'TABLE'
key file missing|1|encrypt: cannot open nokey.pub: No such file or directory|--public-key nokey.pub --in m100
key file empty|1|encrypt: invalid public key file empty.pub: the file is empty|--public-key empty.pub --in m100
key file not hex|1|encrypt: invalid public key file nothex.pub: the key text has a character that is not a hex digit|--public-key nothex.pub --in m100
key file odd digit count|1|encrypt: invalid public key file odd.pub: the key text has an odd number of hex digits|--public-key odd.pub --in m100
key file not a key|1|encrypt: invalid public key file notakey.pub: the text is not a public-key or private-key text|--public-key notakey.pub --in m100
key file too large|1|encrypt: big.pub is too large to be a key file|--public-key big.pub --in m100
private key as public key|1|encrypt: k holds a private key; --public-key needs the public key|--public-key k --in m100
point not on the curve|1|encrypt: invalid public key|--public-key offcurve.pub --in m100
key file is a directory|1|encrypt: cannot read adir: Is a directory|--public-key adir --in m100
input missing|1|encrypt: cannot open nofile: No such file or directory|--public-key k.pub --in nofile
input is a directory|1|encrypt: cannot read adir: Is a directory|--public-key k.pub --in adir
TABLE

expect_fail "output directory missing" 1 "encrypt: cannot create a file in nodir: No such file or directory" \
    encrypt --public-key k.pub --in m100 --out nodir/c
expect_fail "output is a directory" 1 "encrypt: cannot write adir: Is a directory" \
    encrypt --public-key k.pub --in m100 --out adir
check "no temporary file in the directory" no_temporaries adir

"$TOOL" encrypt --public-key k.pub --in m100 >/dev/full 2>err
rc=$?
check "full standard output: exit 1" [ "$rc" -eq 1 ]
check "full standard output: message" \
    [ "$(cat err)" = "ecc-crypt: encrypt: cannot write standard output: No space left on device" ]

# Raw ciphertext bytes are not written to a terminal; hex text is.
if script -qec true /dev/null >/dev/null 2>&1; then
    script -qec "'$TOOL' encrypt --public-key k.pub --in m100 --binary" /dev/null >tty.out 2>&1
    rc=$?
    check "binary to a terminal: exit 1" [ "$rc" -eq 1 ]
    check "binary to a terminal: refused" grep -q "^ecc-crypt: encrypt: refusing to write binary ciphertext to a terminal" tty.out
    script -qec "'$TOOL' encrypt --public-key k.pub --in m1" /dev/null >tty.out 2>&1
    check "hex text to a terminal" [ "$?" -eq 0 ]
fi

# Interrupted while reading its input: the output file never appears, nor its temporary.
mkfifo in.fifo
exec 3<>in.fifo # a writer that never writes: the tool waits for input
# (SIGINT is left out: shells make background jobs ignore it, and the tool keeps it so.)
for signal in TERM HUP; do
    "$TOOL" encrypt --public-key k.pub --in in.fifo --out "c.$signal" 2>/dev/null &
    pid=$!
    sleep 0.3
    kill -"$signal" "$pid"
    { wait "$pid"; } 2>/dev/null
    rc=$?
    check "SIG$signal: the tool ends by the signal" [ "$rc" -gt 128 ]
    check "SIG$signal: no output file" [ ! -e "c.$signal" ]
    check "SIG$signal: no temporary file" no_temporaries
done
exec 3>&-

echo old >c.existing
expect_ok "--out replaces an existing file" encrypt --public-key k.pub --in m1 --out c.existing
check "replaced output holds the ciphertext" [ "$(wc -c <c.existing)" -eq $((2 * 86 + 1)) ]
check "output mode follows the umask" [ "$(mode_of c.existing)" = 644 ]

finish
