# ecc-crypt key files: PEM, DER and SEC 1 keys as OpenSSL writes them, keygen --format pem,
# convert round trips and modes, and the key files that are refused.
. "$(dirname "$0")/lib.sh"

ossl() { openssl "$@" 2>/dev/null; }
printf 'key file message\0with a zero byte' >msg

# roundtrip PUBLIC PRIVATE: a message encrypted for PUBLIC decrypts with PRIVATE.
roundtrip() {
    "$TOOL" encrypt --public-key "$1" --in msg --out ct &&
        "$TOOL" decrypt --private-key "$2" --in ct --out back && cmp -s msg back
}

# Keys as OpenSSL makes them: PKCS #8 PEM with the public key inside, SEC 1 with and without
# the EC PARAMETERS block, and the DER forms of each.
ossl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out o.pem
ossl pkey -in o.pem -pubout -out o.pub.pem
ossl pkey -in o.pem -outform DER -out o.der
ossl pkey -in o.pem -pubout -outform DER -out o.pub.der
ossl ecparam -name prime256v1 -genkey -out sp.pem
ossl ec -in sp.pem -pubout -out sp.pub.pem
ossl ecparam -name prime256v1 -genkey -noout -out s.pem
ossl ec -in s.pem -pubout -out s.pub.pem
ossl ec -in s.pem -outform DER -out s.der
while read -r pub priv; do
    check "OpenSSL key pair $pub / $priv" roundtrip "$pub" "$priv"
done <<'TABLE'
o.pub.pem o.pem
o.pub.der o.der
o.pub.pem o.der
sp.pub.pem sp.pem
s.pub.pem s.pem
s.pub.pem s.der
TABLE

# keygen --format pem: OpenSSL reads both files, and the tool uses them.
expect_ok "keygen --format pem" keygen --private-key p.pem --public-key p.pub.pem --format pem
check "PEM private key mode 600" [ "$(mode_of p.pem)" = 600 ]
check "PEM private key loads in openssl" ossl pkey -in p.pem -noout
check "PEM public key loads in openssl" ossl pkey -pubin -in p.pub.pem -noout
check "OpenSSL derives the same public key" cmp -s <(ossl pkey -in p.pem -pubout) p.pub.pem
check "PEM key pair works" roundtrip p.pub.pem p.pem
expect_fail "keygen --format der" 2 "keygen: --format must be text or pem" \
    keygen --private-key x --public-key x.pub --format der

# convert: text -> pem -> der -> text gives back the key text; private keys get mode 0600.
make_keys k
for key in k k.pub; do
    expect_ok "convert $key to pem" convert --to pem --in "$key" --out "$key.pem"
    expect_ok "convert $key to der" convert --to der --in "$key.pem" --out "$key.der"
    STDIN=$key.der expect_ok "convert $key back to text" convert --to text
    check "$key survives text -> pem -> der -> text" cmp -s out "$key"
done
check "converted private keys are 600" [ "$(mode_of k.pem)$(mode_of k.der)" = 600600 ]
check "converted public keys follow the umask" [ "$(mode_of k.pub.pem)$(mode_of k.pub.der)" = 644644 ]
expect_ok "convert OpenSSL's key to text" convert --to text --in o.pem --out o.txt
check "the text of OpenSSL's key has the library's form" \
    grep -Eqx '3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420[0-9A-F]{64}' o.txt
check "OpenSSL reads the converted key back as its own" \
    cmp -s <(ossl pkey -in o.pem -pubout) <("$TOOL" convert --to pem --in o.txt | ossl pkey -pubout)
check "converted SEC 1 key pair works" roundtrip s.pub.pem <("$TOOL" convert --to der --in s.pem)

# Refused key files: one line naming the file and the reason.
ossl pkcs8 -topk8 -in o.pem -passout pass:secret -out enc8.pem
ossl ec -in s.pem -aes256 -passout pass:secret -out enc1.pem
ossl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out p384.pem
ossl ec -in s.pem -pubout -conv_form compressed -out comp.pub.pem
head -c 40 o.der >short.der
sed '2s/^./*/' o.pem >badb64.pem
printf -- '-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n' >cert.pem
cat o.pem s.pem >two.pem
sed '$d' o.pem >noend.pem
ENCRYPTED="the private key is encrypted; decrypt it first (for example with 'openssl pkey -in FILE -out PLAIN.pem')"
while IFS='|' read -r file option why; do
    if [ "$option" = --private-key ]; then cmd=decrypt kind=private; else cmd=encrypt kind=public; fi
    expect_fail "refuses $file" 1 "$cmd: invalid $kind key file $file: $why" \
        "$cmd" "$option" "$file" --in msg
done <<TABLE
enc8.pem|--private-key|$ENCRYPTED
enc1.pem|--private-key|$ENCRYPTED
p384.pem|--private-key|the key is not on the P-256 curve (prime256v1)
comp.pub.pem|--public-key|the public key's point is not in uncompressed form
short.der|--private-key|the file is not a DER-encoded key
badb64.pem|--private-key|the PEM block PRIVATE KEY is not valid base64
cert.pem|--public-key|unsupported PEM block 'CERTIFICATE' (expected PUBLIC KEY, PRIVATE KEY or EC PRIVATE KEY)
two.pem|--private-key|the file holds more than one key
noend.pem|--private-key|the PEM block PRIVATE KEY has no END line
TABLE
expect_fail "public PEM key as the private key" 1 \
    "decrypt: o.pub.pem holds a public key; --private-key needs the private key" \
    decrypt --private-key o.pub.pem --in msg
STDIN=enc8.pem expect_fail "convert refuses an encrypted key" 1 \
    "convert: invalid key on standard input: $ENCRYPTED" convert --to text
expect_fail "convert --to is required" 2 "convert: option --to is required" convert --in k
expect_fail "convert --to unknown" 2 "convert: --to must be text, pem or der" convert --to xml
check "failures leave no temporaries" no_temporaries

finish
