# ecc-crypt: help, version and usage errors (exit status 2 with the command's usage).
. "$(dirname "$0")/lib.sh"

expect_ok "tool --help" --help
check "tool --help shows the commands" grep -q '^  keygen' out
for cmd in keygen encrypt decrypt; do
    expect_ok "$cmd --help" "$cmd" --help
    check "$cmd --help shows its usage" grep -q "^Usage: ecc-crypt $cmd " out
done
expect_ok "--version" --version
check "--version prints the version" grep -Eq '^ecc-crypt [0-9]+\.[0-9]+\.[0-9]+$' out

# description | exit status | first line of standard error | arguments
while IFS='|' read -r desc status message args; do
    [ -z "$desc" ] && continue
    # shellcheck disable=SC2086 # the arguments are split on purpose
    expect_fail "$desc" "$status" "$message" $args
done <<'TABLE'
no command|2|no command given|
unknown command|2|unknown command 'sign'|sign
keygen without --private-key|2|keygen: option --private-key is required|keygen --public-key p
keygen without --public-key|2|keygen: option --public-key is required|keygen --private-key k
keygen with one file for both keys|2|keygen: --private-key and --public-key name the same file|keygen --private-key k --public-key ./k
keygen to standard output|2|keygen: key files need a file name; '-' is not allowed|keygen --private-key - --public-key p
keygen seed bytes not a number|2|keygen: --seed-bytes must be a number from 32 to 4096|keygen --private-key k --public-key p --seed-bytes abc
keygen seed bytes too few|2|keygen: --seed-bytes must be a number from 32 to 4096|keygen --private-key k --public-key p --seed-bytes 31
keygen seed bytes too many|2|keygen: --seed-bytes must be a number from 32 to 4096|keygen --private-key k --public-key p --seed-bytes=4097
keygen seed bytes negative|2|keygen: --seed-bytes must be a number from 32 to 4096|keygen --private-key k --public-key p --seed-bytes -1
keygen flag with a value|2|keygen: option --force takes no value|keygen --private-key k --public-key p --force=yes
encrypt without --public-key|2|encrypt: option --public-key is required|encrypt
encrypt unknown option|2|encrypt: unknown option --armor|encrypt --public-key p --armor
encrypt option given twice|2|encrypt: option --in given twice|encrypt --public-key p --in a --in b
encrypt option without its value|2|encrypt: option --out needs a value|encrypt --public-key p --out
encrypt option with an empty value|2|encrypt: option --in needs a value|encrypt --public-key p --in=
encrypt positional argument|2|encrypt: unexpected argument 'message.txt'|encrypt --public-key p message.txt
encrypt key from standard input|2|encrypt: option --public-key needs a file name|encrypt --public-key -
decrypt without --private-key|2|decrypt: option --private-key is required|decrypt --in c
decrypt short option|2|decrypt: unexpected argument '-k'|decrypt -k key
decrypt bare double dash|2|decrypt: unexpected argument '--'|decrypt --private-key k --
TABLE

check "usage errors create no files" [ -z "$(ls -A | grep -v -x -e out -e err)" ]
finish
