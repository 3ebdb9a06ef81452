#!/usr/bin/python3
"""Known-answer vectors for the ECIES ciphertext of libeccencryption, made without it.

The ciphertext is built here from primitives of python3-cryptography (P-256 ECDH, SHA-1, HMAC):

    Z   = Q (65 bytes, 04 || x || y) || x-coordinate of the shared point (32 bytes)
    K   = SHA-1(Z || 00000001) || SHA-1(Z || 00000002) || ...   cut to m + 20 bytes (KDF2)
    mac key = K[0:16], key stream = K[16:16+m]
    tag = HMAC-SHA-1(mac key, masked message || 8 zero bytes)
    ciphertext = Q || message XOR key stream || tag

Keys and ephemeral scalars are derived from fixed labels, so every run writes the same file.

    /usr/bin/python3 tests/vectors/gen_ecies_vectors.py            regenerate ecies_kat.txt
    /usr/bin/python3 tests/vectors/gen_ecies_vectors.py --decrypt PRIVATE_TEXT CIPHERTEXT_TEXT
        decrypt a ciphertext text made elsewhere (prints the message as hex)
"""
import hashlib
import os
import sys

from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes, hmac, serialization
from cryptography.hazmat.primitives.asymmetric import ec

CURVE = ec.SECP256R1()
N = 0xFFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551
PUBLIC_PREFIX = "3059301306072A8648CE3D020106082A8648CE3D030107034200"
PRIVATE_PREFIX = "3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420"
POINT_SIZE = 65
TAG_SIZE = 20
MAC_KEY_SIZE = 16


def scalar(label):
    """A fixed scalar in 1..n-1 derived from a label."""
    digest = hashlib.sha256(b"eccencryption kat " + label.encode()).digest()
    return int.from_bytes(digest, "big") % (N - 1) + 1


def stream(label, size):
    """Fixed pseudo-random bytes derived from a label."""
    out = b""
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(label.encode() + counter.to_bytes(4, "big")).digest()
        counter += 1
    return out[:size]


def private_text(d):
    return PRIVATE_PREFIX + d.to_bytes(32, "big").hex().upper()


def public_text(d):
    public = ec.derive_private_key(d, CURVE).public_key()
    point = public.public_bytes(serialization.Encoding.X962,
                                serialization.PublicFormat.UncompressedPoint)
    text = PUBLIC_PREFIX + point.hex().upper()
    # The hand-built layout must be the standard SubjectPublicKeyInfo.
    der = public.public_bytes(serialization.Encoding.DER,
                              serialization.PublicFormat.SubjectPublicKeyInfo)
    assert der.hex().upper() == text and len(text) == 182
    return text


def sha1(data):
    h = hashes.Hash(hashes.SHA1())
    h.update(data)
    return h.finalize()


def kdf2(z, size):
    out = b""
    counter = 1
    while len(out) < size:
        out += sha1(z + counter.to_bytes(4, "big"))
        counter += 1
    return out[:size]


def tag(mac_key, masked):
    h = hmac.HMAC(mac_key, hashes.SHA1())
    h.update(masked + bytes(8))
    return h


def encrypt(recipient_d, ephemeral_d, message):
    ephemeral = ec.derive_private_key(ephemeral_d, CURVE)
    recipient = ec.derive_private_key(recipient_d, CURVE).public_key()
    point = ephemeral.public_key().public_bytes(serialization.Encoding.X962,
                                                serialization.PublicFormat.UncompressedPoint)
    shared = ephemeral.exchange(ec.ECDH(), recipient)
    k = kdf2(point + shared, len(message) + TAG_SIZE)
    masked = bytes(a ^ b for a, b in zip(message, k[MAC_KEY_SIZE:]))
    return point + masked + tag(k[:MAC_KEY_SIZE], masked).finalize()


def decrypt(private, ciphertext_text):
    """Returns (expect, message) for a private-key text and a ciphertext text."""
    d = int(private[len(PRIVATE_PREFIX):], 16)
    if not private.upper().startswith(PRIVATE_PREFIX) or len(private) != 134 or not 0 < d < N:
        return "bad-key", None
    ciphertext = bytes.fromhex(ciphertext_text)
    if len(ciphertext) < POINT_SIZE + TAG_SIZE:
        return "too-short", None
    point, body = ciphertext[:POINT_SIZE], ciphertext[POINT_SIZE:-TAG_SIZE]
    try:
        ephemeral = ec.EllipticCurvePublicKey.from_encoded_point(CURVE, point)
    except ValueError:
        return "auth-fail", None
    shared = ec.derive_private_key(d, CURVE).exchange(ec.ECDH(), ephemeral)
    k = kdf2(point + shared, len(body) + TAG_SIZE)
    try:
        tag(k[:MAC_KEY_SIZE], body).verify(ciphertext[-TAG_SIZE:])
    except InvalidSignature:
        return "auth-fail", None
    return "ok", bytes(a ^ b for a, b in zip(body, k[MAC_KEY_SIZE:]))


def cases():
    alice, bob = scalar("recipient alice"), scalar("recipient bob")

    def case(name, d, message, ciphertext, expect):
        return {"id": name, "private": private_text(d), "public": public_text(d) if 0 < d < N else "",
                "message": message.hex().upper(), "ciphertext": ciphertext.hex().upper(),
                "expect": expect}

    out = []
    for size in (0, 1, 15, 16, 17, 20, 21, 64, 1000):
        message = b"Fifteen bytes!!" if size == 15 else stream("message %d" % size, size)
        ct = encrypt(alice, scalar("ephemeral size %d" % size), message)
        out.append(case("size-%d" % size, alice, message, ct, "ok"))
    for name, message in (("zeros-only", bytes(32)), ("zero-inside", b"abc\x00def\x00ghi"),
                          ("zero-first", b"\x00message after a zero byte")):
        out.append(case(name, alice, message, encrypt(alice, scalar("ephemeral " + name), message),
                        "ok"))

    message = b"Attack at dawn."
    base = encrypt(alice, scalar("ephemeral base"), message)
    lower = case("lower-case-text", alice, message, base, "ok")
    lower["ciphertext"] = lower["ciphertext"].lower()
    out.append(lower)

    def flipped(index, mask=0x01):
        ct = bytearray(base)
        ct[index] ^= mask
        return bytes(ct)

    another_point = ec.derive_private_key(scalar("another point"), CURVE).public_key().public_bytes(
        serialization.Encoding.X962, serialization.PublicFormat.UncompressedPoint)
    for name, ct in (("tampered-point-prefix", flipped(0, 0x01)),
                     ("tampered-point-x", flipped(10)),
                     ("tampered-point-y", flipped(POINT_SIZE - 1)),
                     ("replaced-point-valid", another_point + base[POINT_SIZE:]),
                     ("tampered-masked-first", flipped(POINT_SIZE)),
                     ("tampered-masked-last", flipped(POINT_SIZE + len(message) - 1, 0x80)),
                     ("tampered-tag-first", flipped(len(base) - TAG_SIZE)),
                     ("tampered-tag-last", flipped(len(base) - 1)),
                     ("truncated-by-one", base[:-1]),
                     ("extended-by-one", base + b"\x00")):
        out.append(case(name, alice, message, ct, "auth-fail"))
    out.append(case("wrong-key", bob, message, base, "auth-fail"))
    out.append(case("truncated-below-minimum", alice, b"", base[:POINT_SIZE + TAG_SIZE - 1],
                    "too-short"))
    out.append(case("empty-ciphertext", alice, b"", b"", "too-short"))

    top = N - 1
    out.append(case("private-n-minus-1", top, message,
                    encrypt(top, scalar("ephemeral n-1"), message), "ok"))
    out.append(case("private-zero", 0, b"", base, "bad-key"))
    out.append(case("private-n", N, b"", base, "bad-key"))
    return out


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--decrypt":
        expect, message = decrypt(sys.argv[2].strip(), sys.argv[3].strip())
        print(expect, message.hex().upper() if message is not None else "")
        return 0 if expect == "ok" else 1
    if len(sys.argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2

    lines = [
        "# Known-answer vectors for the ECIES ciphertext (P-256, KDF2-SHA-1, HMAC-SHA-1 tag).",
        "# Made by gen_ecies_vectors.py beside this file, from python3-cryptography primitives,",
        "# with fixed keys and ephemeral scalars; regenerate (same bytes) from the project root with",
        "#   /usr/bin/python3 tests/vectors/gen_ecies_vectors.py",
        "# Each case: id, private (key text), public (the key text of that private key; empty when",
        "# there is none), message (hex), ciphertext (ciphertext text), expect = ok | auth-fail |",
        "# bad-key | too-short. Cases are separated by blank lines.",
    ]
    for c in cases():
        # Every case is checked against this script's own decryption before it is written.
        expect, message = decrypt(c["private"], c["ciphertext"])
        assert expect == c["expect"], (c["id"], expect)
        assert expect != "ok" or message.hex().upper() == c["message"], c["id"]
        lines.append("")
        lines += ["%s = %s" % (key, c[key]) for key in
                  ("id", "private", "public", "message", "ciphertext", "expect")]
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "ecies_kat.txt")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
