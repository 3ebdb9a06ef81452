// Encryption and decryption of whole inputs by the tool, in pieces and in constant memory.
#ifndef ECCCRYPT_CRYPT_H
#define ECCCRYPT_CRYPT_H

#include <string>

#include "FileIo.h"

namespace ecccrypt {

// How the ciphertext is written (encrypt) or read (decrypt), and whether to show progress.
struct CryptOptions {
    bool binary = false;    // raw ciphertext bytes instead of hex text
    bool progress = false;  // --progress: a progress line even for small or unsized inputs
};

// EncryptStream encrypts all of |in| for |publicKey| (a key text) into |out| and commits it.
// Every failure throws Failure; |out| is then left uncommitted.
void EncryptStream(const std::string& publicKey, InputFile& in, Output& out,
                   const CryptOptions& options);

// DecryptStream decrypts all of |in| with |privateKey| (a key text) into |out|, and commits it
// only once the tag has matched. Every failure throws Failure; |out| is then left uncommitted.
void DecryptStream(const std::string& privateKey, InputFile& in, Output& out,
                   const CryptOptions& options);

}  // namespace ecccrypt

#endif  // ECCCRYPT_CRYPT_H
