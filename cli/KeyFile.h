// Key files in the three forms the tool reads and writes: key text (hex of the DER encoding),
// PEM and DER. Public keys are X.509 SubjectPublicKeyInfo; private keys are PKCS #8
// PrivateKeyInfo, and a SEC 1 ECPrivateKey (PEM "EC PRIVATE KEY", or DER) or a PKCS #8 key that
// carries more than the private value is reduced to the library's form: version 0,
// id-ecPublicKey with prime256v1, and an ECPrivateKey with only its version and private value.
// The functions take bytes already read and do no I/O, so tests and fuzz targets can call them.
#ifndef ECCCRYPT_KEYFILE_H
#define ECCCRYPT_KEYFILE_H

#include <string>
#include <string_view>

#include "TextInput.h"

namespace ecccrypt {

enum class KeyFormat { Text, Pem, Der };

// ParseKeyFormat maps "text", "pem" and "der" to a format; false for anything else.
bool ParseKeyFormat(std::string_view name, KeyFormat& format);

// ParseKeyFile reads the content of a key file in any of the three forms. On success it returns
// an empty string and sets |kind| and |der| (the key's DER encoding; for key text, the bytes of
// the text as they are, whose use is the library's decision). On failure it returns a one-line
// reason and leaves |kind| and |der| unchanged. Encrypted PEM private keys are refused.
std::string ParseKeyFile(std::string_view content, KeyKind& kind, std::string& der);

// EncodeKeyFile returns the content of a key file of |format| holding |der|: upper-case hex and
// a newline, a PEM block ("PUBLIC KEY" or "PRIVATE KEY"), or the DER bytes.
std::string EncodeKeyFile(KeyKind kind, std::string_view der, KeyFormat format);

// ToHexText returns |bytes| as upper-case hex digits.
std::string ToHexText(std::string_view bytes);

// Wipe overwrites all of the storage of |s| and empties it.
void Wipe(std::string& s);

}  // namespace ecccrypt

#endif  // ECCCRYPT_KEYFILE_H
