#include <eccencryption/EccEncryption.h>
#include <eccencryption/ZelString.h>

#include <cryptopp/asn.h>
#include <cryptopp/eccrypto.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "KeyText.h"

using eccencryption::KeyText;
using eccencryption::LoadPrivateKey;
using eccencryption::LoadPublicKey;
using eccencryption::PrivateKey;
using eccencryption::PublicKey;

namespace {

using Scheme = CryptoPP::ECIES<CryptoPP::ECP>;
using Status = EccEncryption::Status;

constexpr std::size_t kTagSize = 20;  // HMAC-SHA-1
constexpr std::uint64_t kMaxCiphertext = 0xFFFFFFFFu;
constexpr unsigned int kMinSeedBytes = 32;
constexpr unsigned int kMaxSeedBytes = 4096;

}  // namespace

const char* EccEncryption::StatusText(Status status) noexcept {
    switch (status) {
        case Status::Ok:
            return "success";
        case Status::InvalidPublicKey:
            return "invalid public key";
        case Status::InvalidPrivateKey:
            return "invalid private key";
        case Status::CiphertextTooShort:
            return "ciphertext too short";
        case Status::AuthenticationFailed:
            return "ciphertext failed authentication (wrong key or altered data)";
        case Status::MessageTooLong:
            return "message too long";
        case Status::InternalFailure:
            return "internal failure";
    }
    return "unknown status";
}

void EccEncryption::GenerateEccKeys(unsigned int uiKeySize, std::string& sPrivateKey,
                                    std::string& sPublicKey) noexcept {
    try {
        // Too few seed bytes would make the private key predictable, too many exhaust memory.
        const unsigned int seedBytes = std::clamp(uiKeySize, kMinSeedBytes, kMaxSeedBytes);
        CryptoPP::AutoSeededRandomPool rng(true, seedBytes);

        CryptoPP::DL_GroupParameters_EC<CryptoPP::ECP> params(CryptoPP::ASN1::secp256r1());
        params.SetPointCompression(false);
        params.SetEncodeAsOID(true);
        PrivateKey privateKey;
        privateKey.Initialize(rng, params);
        PublicKey publicKey;
        privateKey.MakePublicKey(publicKey);

        // Both texts are built before either output changes, and moving a string cannot fail,
        // so a failure leaves both outputs as they were.
        std::string publicText = KeyText(publicKey);
        std::string privateText = KeyText(privateKey);
        sPublicKey = std::move(publicText);
        sPrivateKey = std::move(privateText);
    } catch (...) {
    }
}

EccEncryption::Status EccEncryption::EncryptMessage(const std::string& publicKey,
                                                    const std::string& message,
                                                    std::string& ciphertext) noexcept {
    try {
        Scheme::Encryptor encryptor;
        if (!LoadPublicKey(publicKey, encryptor.AccessKey())) return Status::InvalidPublicKey;

        const std::size_t pointSize =
            encryptor.GetKey().GetGroupParameters().GetEncodedElementSize(true);
        if (message.size() > kMaxCiphertext - pointSize - kTagSize) return Status::MessageTooLong;

        std::string out(encryptor.CiphertextLength(message.size()), '\0');
        // A fresh generator seeded by the operating system: the ephemeral scalar must be
        // unpredictable, or anyone could recompute the shared secret.
        CryptoPP::AutoSeededRandomPool rng;
        encryptor.Encrypt(rng, reinterpret_cast<const CryptoPP::byte*>(message.data()),
                          message.size(), reinterpret_cast<CryptoPP::byte*>(out.data()));
        ciphertext = std::move(out);
        return Status::Ok;
    } catch (...) {
        return Status::InternalFailure;
    }
}

EccEncryption::Status EccEncryption::DecryptMessage(const std::string& privateKey,
                                                    const unsigned char* ciphertext,
                                                    std::size_t size,
                                                    std::string& message) noexcept {
    try {
        Scheme::Decryptor decryptor;
        if (!LoadPrivateKey(privateKey, decryptor.AccessKey())) return Status::InvalidPrivateKey;

        const std::size_t pointSize =
            decryptor.GetKey().GetGroupParameters().GetEncodedElementSize(true);
        if (ciphertext == nullptr || size < pointSize + kTagSize) {
            return Status::CiphertextTooShort;
        }

        std::string out(decryptor.MaxPlaintextLength(size), '\0');
        // Decryption draws no randomness; NullRNG fails loudly if that ever changes.
        const CryptoPP::DecodingResult result = decryptor.Decrypt(
            CryptoPP::NullRNG(), ciphertext, size, reinterpret_cast<CryptoPP::byte*>(out.data()));
        if (!result.isValidCoding || result.messageLength != out.size()) {
            return Status::AuthenticationFailed;
        }
        message = std::move(out);
        return Status::Ok;
    } catch (...) {
        return Status::InternalFailure;
    }
}

unsigned int EccEncryption::Encrypt(const std::string& sPublicKey, const std::string& sMsgToEncrypt,
                                    std::string& sEncryptedMsg) noexcept {
    if (EncryptMessage(sPublicKey, sMsgToEncrypt, sEncryptedMsg) != Status::Ok) return 0;
    return static_cast<unsigned int>(sEncryptedMsg.size());
}

std::string EccEncryption::Decrypt(const std::string& sPrivateKey,
                                   const std::string& sMsgToDecrypt) noexcept {
    try {
        // Zero-filled, so bytes that a zero character in the text leaves unconverted are 0.
        std::vector<unsigned char> bytes(sMsgToDecrypt.size() / 2);
        ZEL::String::Hex2Bin(sMsgToDecrypt.c_str(), bytes.data(), bytes.size());
        std::string message;
        DecryptMessage(sPrivateKey, bytes.data(), bytes.size(), message);
        return message;
    } catch (...) {
        return std::string();
    }
}

EccEncryption& EccEncryption::operator=(const EccEncryption&) {
    return *this;
}
EccEncryption& EccEncryption::operator=(EccEncryption&&) {
    return *this;
}
