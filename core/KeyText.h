// Reading and writing key texts: lenient hex decoding, a structural check of the DER that runs
// before any Crypto++ decoder sees it, and loading of keys that are safe to use.
#ifndef ECCENCRYPTION_CORE_KEYTEXT_H
#define ECCENCRYPTION_CORE_KEYTEXT_H

#include <string>

#include <cryptopp/eccrypto.h>

namespace eccencryption {

using PublicKey = CryptoPP::DL_PublicKey_EC<CryptoPP::ECP>;
using PrivateKey = CryptoPP::DL_PrivateKey_EC<CryptoPP::ECP>;

// LoadPublicKey decodes a public-key text into |key|. It returns false unless the text holds a
// SubjectPublicKeyInfo whose curve is named by an OID that Crypto++ knows as a prime curve and
// whose point is a valid element of the curve's prime-order group (on the curve, not the
// identity). Throws only std::bad_alloc.
bool LoadPublicKey(const std::string& text, PublicKey& key);

// LoadPrivateKey decodes a private-key text into |key|. It returns false unless the text holds
// a PKCS #8 key on a named prime curve whose private value lies in 1..n-1, n being the order
// of the base point. Throws only std::bad_alloc.
bool LoadPrivateKey(const std::string& text, PrivateKey& key);

// KeyText returns the upper-case hex text of the DER encoding of |key|.
std::string KeyText(const CryptoPP::ASN1Object& key);

}  // namespace eccencryption

#endif  // ECCENCRYPTION_CORE_KEYTEXT_H
