# ecc-crypt keygen: key texts, file modes, no overwriting without --force, whole files only.
. "$(dirname "$0")/lib.sh"

PUBLIC_PREFIX=3059301306072A8648CE3D020106082A8648CE3D03010703420004
PRIVATE_PREFIX=3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420

# key_text_ok FILE LENGTH PREFIX: one line of LENGTH upper-case hex digits starting with PREFIX.
key_text_ok() {
    [ "$(wc -l <"$1")" -eq 1 ] && [ "$(tr -d '\n' <"$1" | wc -c)" -eq "$2" ] &&
        grep -Eqx "$3[0-9A-F]+" "$1"
}

expect_ok "keygen" keygen --private-key k --public-key k.pub
check "private-key text" key_text_ok k 134 "$PRIVATE_PREFIX"
check "public-key text" key_text_ok k.pub 182 "$PUBLIC_PREFIX"
check "private key mode 600" [ "$(mode_of k)" = 600 ]
check "public key mode 644 under umask 022" [ "$(mode_of k.pub)" = 644 ]
check "nothing on standard output" [ ! -s out ]
check "no temporary files" no_temporaries

# The private key stays 0600 whatever the umask; the public key follows it.
for mask in 000 002 077; do
    mkdir "u$mask"
    (umask "$mask" && "$TOOL" keygen --private-key "u$mask/k" --public-key "u$mask/k.pub")
    check "umask $mask: private key 600" [ "$(mode_of "u$mask/k")" = 600 ]
    check "umask $mask: public key mode" [ "$(mode_of "u$mask/k.pub")" = "$(printf '%o' $((0666 & ~0$mask)))" ]
done

expect_ok "seed bytes 32" keygen --private-key s32 --public-key s32.pub --seed-bytes 32
expect_ok "seed bytes 4096" keygen --private-key s4096 --public-key s4096.pub --seed-bytes=4096
check "seed bytes do not change the format" key_text_ok s4096.pub 182 "$PUBLIC_PREFIX"
check "two calls, two key pairs" differ s32 s4096

# Existing files are kept without --force, and then neither key file is written.
cp k k.orig
cp k.pub k.pub.orig
expect_fail "private key exists" 1 "keygen: k exists; use --force to replace it" \
    keygen --private-key k --public-key new.pub
check "no public key written" [ ! -e new.pub ]
expect_fail "public key exists" 1 "keygen: k.pub exists; use --force to replace it" \
    keygen --private-key new --public-key k.pub
check "no private key written" [ ! -e new ]
ln -s nowhere dangling
expect_fail "dangling link counts as existing" 1 \
    "keygen: dangling exists; use --force to replace it" keygen --private-key dangling --public-key new.pub
check "existing keys unchanged" cmp -s k k.orig
check "existing public key unchanged" cmp -s k.pub k.pub.orig

chmod 644 k
expect_ok "--force replaces both" keygen --private-key k --public-key k.pub --force
check "new private key" differ k k.orig
check "new public key" differ k.pub k.pub.orig
check "replaced private key is 600" [ "$(mode_of k)" = 600 ]
check "replaced private key text" key_text_ok k 134 "$PRIVATE_PREFIX"
check "--force leaves no temporaries" no_temporaries

mkdir adir
expect_fail "directory in place of a key file" 1 "keygen: cannot write adir: Is a directory" \
    keygen --private-key fk --public-key adir --force
check "no private key when the public key cannot be written" [ ! -e fk ]
expect_fail "missing directory" 1 \
    "keygen: cannot create a file in nodir: No such file or directory" \
    keygen --private-key nodir/k --public-key k2.pub
check "no public key when the private key cannot be written" [ ! -e k2.pub ]
check "failures leave no temporaries" no_temporaries
check "failures leave no temporaries in the key directory" no_temporaries adir

finish
