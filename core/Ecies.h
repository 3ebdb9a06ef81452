// The public-key half of the library's ECIES profile (ECIES<ECP> of Crypto++: DHAES mode, no
// cofactor multiplication, KDF2-SHA-1, XOR and HMAC-SHA-1), shared by the one-shot and the
// streaming operations: it turns a key text and an ephemeral point into the MessageCipher of one
// message.
#ifndef ECCENCRYPTION_CORE_ECIES_H
#define ECCENCRYPTION_CORE_ECIES_H

#include <eccencryption/EccEncryption.h>

#include <cstddef>
#include <memory>
#include <string>

#include "KeyText.h"
#include "MessageCipher.h"

namespace eccencryption {

// BeginEncryption loads |publicKey|, draws a fresh ephemeral key from the operating system and
// makes the message's cipher. On success |point| holds the encoded ephemeral point, the first
// bytes of the ciphertext. Throws only on lack of memory or a failing random source.
EccEncryption::Status BeginEncryption(const std::string& publicKey, std::string& point,
                                      std::unique_ptr<MessageCipher>& cipher);

// DecryptionKey is a loaded private key that makes the cipher of each message sent to it.
class DecryptionKey {
  public:
    // Load reads |privateKey|; InvalidPrivateKey when it is not a usable private-key text.
    EccEncryption::Status Load(const std::string& privateKey);

    // PointSize is the length of the ephemeral point that starts a ciphertext for this key.
    std::size_t PointSize() const;

    // Begin checks the ephemeral point at |point| (PointSize() bytes) and makes the message's
    // cipher. AuthenticationFailed when the point is not a valid element of the key's group.
    // The private value is blinded afresh for every call (see Blinding.h).
    EccEncryption::Status Begin(const byte* point, std::unique_ptr<MessageCipher>& cipher) const;

  private:
    PrivateKey key_;
};

}  // namespace eccencryption

#endif  // ECCENCRYPTION_CORE_ECIES_H
