// EccEncryption: P-256 key pairs and ECIES encryption over byte strings.
//
// Key texts are upper-case hex of DER encodings:
//   public key  182 characters, X.509 SubjectPublicKeyInfo, named curve, uncompressed point
//   private key 134 characters, PKCS #8 PrivateKeyInfo holding a SEC 1 ECPrivateKey
// Key texts are read leniently: either case, characters that are not hex digits are skipped.
//
// Ciphertext bytes: ephemeral point (65 bytes for P-256: 04 || x || y), the message XOR a
// KDF2-SHA-1 key stream, and a 20-byte HMAC-SHA-1 tag; m + 85 bytes for a message of m bytes.
//
// No function here throws. All functions may be called from any number of threads at once.
#ifndef ECCENCRYPTION_ECCENCRYPTION_H
#define ECCENCRYPTION_ECCENCRYPTION_H

#include <cstddef>
#include <string>

#include <eccencryption/eccencryption_export.h>

class ECCENCRYPTION_EXPORT EccEncryption {
  public:
    // Status is the outcome of EncryptMessage and DecryptMessage.
    enum class Status : int {
        Ok = 0,
        InvalidPublicKey,   // not a readable public-key text, or the point is not a valid key
        InvalidPrivateKey,  // not a readable private-key text, or the private value is out of range
        CiphertextTooShort,    // fewer bytes than an ephemeral point and a tag
        AuthenticationFailed,  // wrong key, or the ciphertext was altered
        MessageTooLong,   // over 4294967295 ciphertext bytes (a stream: 85899345884 message bytes)
        InternalFailure,  // out of memory, or the system's random source failed
        InvalidState,     // a streaming call out of order: no message under way
    };

    // Streaming encryption and decryption of messages of any length, in pieces: see
    // <eccencryption/EccStream.h>.
    class StreamEncryptor;
    class StreamDecryptor;

    // StatusText returns a short fixed English description of |status|, never null.
    static const char* StatusText(Status status) noexcept;

    // GenerateEccKeys makes a fresh key pair on secp256r1 and replaces |sPrivateKey| and
    // |sPublicKey| with its texts. The call's random generator seeds itself with |uiKeySize|
    // bytes from the operating system, clamped to 32..4096; it does not choose the key length.
    // On failure both strings keep their content from entry. When one string is passed as both
    // outputs it ends with the private-key text.
    static void GenerateEccKeys(unsigned int uiKeySize, std::string& sPrivateKey,
                                std::string& sPublicKey) noexcept;

    // Encrypt encrypts |sMsgToEncrypt| (any bytes) for the key in |sPublicKey| and replaces
    // |sEncryptedMsg| with the raw ciphertext bytes. It returns their count, or 0 on any
    // failure, leaving |sEncryptedMsg| unchanged. The same string may be message and output.
    static unsigned int Encrypt(const std::string& sPublicKey, const std::string& sMsgToEncrypt,
                                std::string& sEncryptedMsg) noexcept;

    // Decrypt decrypts the ciphertext text |sMsgToDecrypt| (two hex digits per byte, either
    // case) with the key in |sPrivateKey| and returns the message. Every failure (bad key, short
    // or altered ciphertext, wrong key) returns an empty string; use DecryptMessage to tell an
    // empty message from a failure. Characters that are not hex digits count as the digit 0.
    static std::string Decrypt(const std::string& sPrivateKey,
                               const std::string& sMsgToDecrypt) noexcept;

    // EncryptMessage is Encrypt with a reason for failure. On success |ciphertext| holds the
    // ciphertext bytes; on failure it is unchanged.
    static Status EncryptMessage(const std::string& publicKey, const std::string& message,
                                 std::string& ciphertext) noexcept;

    // DecryptMessage decrypts |size| raw ciphertext bytes at |ciphertext|. On success |message|
    // holds the message; on failure it is unchanged.
    static Status DecryptMessage(const std::string& privateKey, const unsigned char* ciphertext,
                                 std::size_t size, std::string& message) noexcept;

    EccEncryption& operator=(const EccEncryption&);
    EccEncryption& operator=(EccEncryption&&);
};

#endif  // ECCENCRYPTION_ECCENCRYPTION_H
