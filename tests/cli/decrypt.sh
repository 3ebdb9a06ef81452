# ecc-crypt decrypt: strict ciphertext text, altered ciphertexts, key checks, and no output at
# all on failure.
. "$(dirname "$0")/lib.sh"

make_keys k
make_keys other
head -c 300 /dev/urandom >m
"$TOOL" encrypt --public-key k.pub --in m --out c || fail "encrypt"
"$TOOL" encrypt --public-key k.pub --in m --out c.bin --binary || fail "encrypt --binary"
T=$(cat c)
H1=${T:0:100}
H2=${T:100}

# Ciphertext text: white space around it is ignored, nothing else is.
printf ' \t\r\n%s\r\n\n' "$T" >t.around
printf '%s' "$T" >t.bare
tr 'A-F' 'a-f' <c >t.lower
printf '%s %s\n' "$H1" "$H2" >t.space
printf '%s\n%s\n' "$H1" "$H2" >t.wrapped
printf '0x%s\n' "$T" >t.prefix
printf '%sZ\n' "$T" >t.trailing
printf '%s\0%s\n' "$H1" "$H2" >t.nul
printf '%s\303\251\n' "$T" >t.utf8
printf '%sA\n' "$T" >t.odd
: >t.empty
printf ' \n\t\n' >t.blank
printf '%s\n' "${T:0:168}" >t.short

# ciphertext file | expected first line of standard error, or "ok"
while IFS='|' read -r file expected; do
    [ -z "$file" ] && continue
    if [ "$expected" = ok ]; then
        expect_ok "$file" decrypt --private-key k --in "$file" --out d
        check "$file: round trip" cmp -s m d
        rm -f d
    else
        expect_fail "$file" 1 "decrypt: $expected" decrypt --private-key k --in "$file" --out d
        check "$file: no output file" [ ! -e d ]
    fi
done <<TABLE
t.around|ok
t.bare|ok
t.lower|ok
t.space|the ciphertext text has white space inside it (at offset 100)
t.wrapped|the ciphertext text has white space inside it (at offset 100)
t.prefix|the ciphertext text has a character that is not a hex digit (at offset 1)
t.trailing|the ciphertext text has a character that is not a hex digit (at offset ${#T})
t.nul|the ciphertext text has a character that is not a hex digit (at offset 100)
t.utf8|the ciphertext text has a character that is not a hex digit (at offset ${#T})
t.odd|the ciphertext text has an odd number of hex digits
t.empty|ciphertext too short
t.blank|ciphertext too short
t.short|ciphertext too short
TABLE

# Text arriving in pieces that split digit pairs and the white space after them.
(printf ' %s' "${T:0:101}"; sleep 0.2; printf '%s \n' "${T:101}") |
    "$TOOL" decrypt --private-key k >d.pipe 2>err
check "text split across reads" cmp -s m d.pipe
(printf '%s  ' "${T:0:100}"; sleep 0.2; printf ' %s\n' "${T:100}") |
    "$TOOL" decrypt --private-key k >d.pipe 2>err
check "white space inside, split across reads" \
    [ "$(cat err)" = "ecc-crypt: decrypt: the ciphertext text has white space inside it (at offset 100)" ]

# Altered ciphertexts: the ephemeral point, the masked message, the tag, the length.
AUTH="ciphertext failed authentication (wrong key or altered data)"
for offset in 0 1 64 65 200 $((300 + 85 - 1)); do
    cp c.bin "x$offset.bin"
    flip_byte "x$offset.bin" "$offset"
done
head -c $((300 + 84)) c.bin >cut.bin
{ cat c.bin; printf '\0'; } >longer.bin
head -c 84 c.bin >short.bin
printf '%s%s%s\n' "${T:0:200}" "$(printf '%s' "${T:200:1}" | tr '0-9A-F' '1-9A-F0')" "${T:201}" >digit.txt

# description | first line of standard error | arguments (each writes --out d)
while IFS='|' read -r desc message args; do
    [ -z "$desc" ] && continue
    # shellcheck disable=SC2086
    expect_fail "$desc" 1 "decrypt: $message" decrypt $args --out d
    check "$desc: no output file" [ ! -e d ]
    check "$desc: no temporary file" no_temporaries
done <<TABLE
point prefix altered|$AUTH|--private-key k --binary --in x0.bin
point x altered|$AUTH|--private-key k --binary --in x1.bin
point y altered|$AUTH|--private-key k --binary --in x64.bin
masked message altered|$AUTH|--private-key k --binary --in x65.bin
masked message altered inside|$AUTH|--private-key k --binary --in x200.bin
tag altered|$AUTH|--private-key k --binary --in x384.bin
last byte cut off|$AUTH|--private-key k --binary --in cut.bin
byte appended|$AUTH|--private-key k --binary --in longer.bin
shorter than point and tag|ciphertext too short|--private-key k --binary --in short.bin
one hex digit altered|$AUTH|--private-key k --in digit.txt
wrong private key|$AUTH|--private-key other --in c
binary read as text|the ciphertext text has a character that is not a hex digit (at offset 0)|--private-key k --in c.bin
public key as private key|k.pub holds a public key; --private-key needs the private key|--private-key k.pub --in c
private key missing|cannot open nokey: No such file or directory|--private-key nokey --in c
ciphertext missing|cannot open noc: No such file or directory|--private-key k --in noc
TABLE

# Private values that are no keys: 0, and the group order n.
prefix=$(head -c 70 k)
printf '%s%064d\n' "$prefix" 0 >zero.key
printf '%sFFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551\n' "$prefix" >order.key
expect_fail "private value 0" 1 "decrypt: invalid private key" decrypt --private-key zero.key --in c --out d
expect_fail "private value n" 1 "decrypt: invalid private key" decrypt --private-key order.key --in c --out d
check "invalid keys: no output file" [ ! -e d ]

# A failure leaves an existing output file as it was.
echo keep >d.keep
expect_fail "failure with an existing --out" 1 "decrypt: $AUTH" decrypt --private-key other --in c --out d.keep
check "existing output kept" [ "$(cat d.keep)" = keep ]
expect_ok "success replaces it" decrypt --private-key k --in c --out d.keep
check "replaced output is the message" cmp -s m d.keep
check "output mode follows the umask" [ "$(mode_of d.keep)" = 644 ]

STDIN=c expect_ok "standard input to standard output" decrypt --private-key k
check "message on standard output" cmp -s m out
STDIN=c.bin expect_ok "raw bytes on standard input" decrypt --private-key k --binary --in -
check "message from raw bytes" cmp -s m out

finish
