#!/usr/bin/env python3
"""The tool's ciphertext format with python3-cryptography alone, for the interop test.

  python_interop.py encrypt PUBLIC_KEY_FILE IN OUT
  python_interop.py decrypt PRIVATE_KEY_FILE IN OUT

Key files hold key text (hex of the DER SubjectPublicKeyInfo or PKCS #8 PrivateKeyInfo); IN and
OUT are raw bytes. Ciphertext: ephemeral point (65 bytes, uncompressed) || message XOR key
stream || HMAC-SHA-1 tag (20 bytes). The X9.63 KDF (KDF2, counter from 1) over SHA-1 of
point || shared x gives the 16-byte MAC key, then the key stream; the tag covers the masked
message and eight zero bytes. A failed decryption exits with status 1 and one line.
"""
import hmac
import sys

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.hashes import SHA1
from cryptography.hazmat.primitives.kdf.x963kdf import X963KDF

POINT = 65
TAG = 20
MAC_KEY = 16


def read_key_text(path):
    with open(path, "r", encoding="ascii") as f:
        return bytes.fromhex(f.read().strip())


def keys(point, shared, length):
    stream = X963KDF(algorithm=SHA1(), length=MAC_KEY + length, sharedinfo=None).derive(
        point + shared)
    return stream[:MAC_KEY], stream[MAC_KEY:]


def tag(mac_key, masked):
    h = hmac.new(mac_key, masked, "sha1")
    h.update(bytes(8))
    return h.digest()


def encrypt(spki, message):
    recipient = serialization.load_der_public_key(spki)
    ephemeral = ec.generate_private_key(ec.SECP256R1())
    point = ephemeral.public_key().public_bytes(
        serialization.Encoding.X962, serialization.PublicFormat.UncompressedPoint)
    mac_key, stream = keys(point, ephemeral.exchange(ec.ECDH(), recipient), len(message))
    masked = bytes(a ^ b for a, b in zip(message, stream))
    return point + masked + tag(mac_key, masked)


def decrypt(pkcs8, ciphertext):
    key = serialization.load_der_private_key(pkcs8, password=None)
    if len(ciphertext) < POINT + TAG or ciphertext[0] != 4:
        raise ValueError("ciphertext too short or its point is not uncompressed")
    point, masked, received = ciphertext[:POINT], ciphertext[POINT:-TAG], ciphertext[-TAG:]
    sender = ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), point)
    mac_key, stream = keys(point, key.exchange(ec.ECDH(), sender), len(masked))
    if not hmac.compare_digest(tag(mac_key, masked), received):
        raise ValueError("authentication failed")
    return bytes(a ^ b for a, b in zip(masked, stream))


def main(argv):
    if len(argv) != 5 or argv[1] not in ("encrypt", "decrypt"):
        sys.exit("usage: python_interop.py encrypt|decrypt KEY_FILE IN OUT")
    with open(argv[3], "rb") as f:
        data = f.read()
    try:
        out = (encrypt if argv[1] == "encrypt" else decrypt)(read_key_text(argv[2]), data)
    except ValueError as e:
        sys.exit("python_interop.py: %s failed: %s" % (argv[1], e))
    with open(argv[4], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
