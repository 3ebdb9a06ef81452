#include <eccencryption/EccEncryption.h>
#include <eccencryption/ZelString.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "Blinding.h"
#include "Ecies.h"
#include "KeyText.h"

using eccencryption::BeginEncryption;
using eccencryption::BlindedPublicPoint;
using eccencryption::byte;
using eccencryption::DecryptionKey;
using eccencryption::KeyText;
using eccencryption::MessageCipher;
using eccencryption::PrivateKey;
using eccencryption::PublicKey;
using eccencryption::WipedString;

namespace {

using Status = EccEncryption::Status;

constexpr std::uint64_t kMaxCiphertext = 0xFFFFFFFFu;
constexpr unsigned int kMinSeedBytes = 32;
constexpr unsigned int kMaxSeedBytes = 4096;

// DecryptWith loads the private key, checks the length and decrypts |size| ciphertext bytes in
// one pass. |output(pointSize, messageSize)| gives where the message goes (it may be the masked
// message itself, ciphertext + E); it is called once the lengths are known and the key is good.
// The message is written before the tag is checked, so on failure it is wiped.
template <typename Output>
Status DecryptWith(const std::string& privateKey, const byte* ciphertext, std::size_t size,
                   Output output) {
    DecryptionKey key;
    if (key.Load(privateKey) != Status::Ok) return Status::InvalidPrivateKey;
    const std::size_t pointSize = key.PointSize();
    if (ciphertext == nullptr || size < pointSize + MessageCipher::kTagSize) {
        return Status::CiphertextTooShort;
    }
    std::unique_ptr<MessageCipher> cipher;
    const Status status = key.Begin(ciphertext, cipher);
    if (status != Status::Ok) return status;
    const std::size_t messageSize = size - pointSize - MessageCipher::kTagSize;
    byte* message = output(pointSize, messageSize);
    cipher->Decrypt(ciphertext + pointSize, message, messageSize);
    if (!cipher->Verify(ciphertext + pointSize + messageSize)) {
        CryptoPP::SecureWipeBuffer(message, messageSize);
        return Status::AuthenticationFailed;
    }
    return Status::Ok;
}

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
        case Status::InvalidState:
            return "no message under way (call Start first)";
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
        // d*G as MakePublicKey gives it, but computed as (d + r*n)*G with an r of its own, so
        // that the multiplication's timing does not depend on d.
        PublicKey publicKey;
        publicKey.Initialize(privateKey.GetGroupParameters(),
                             BlindedPublicPoint(privateKey.GetGroupParameters(),
                                                privateKey.GetPrivateExponent(), rng));

        // Both texts are built before either output changes, and swapping strings cannot fail,
        // so a failure leaves both outputs as they were. The locals end with the outputs' old
        // contents (which may be an earlier private key) and are wiped on every path out.
        std::string publicText, privateText;
        const WipedString wipePublic(publicText), wipePrivate(privateText);
        publicText = KeyText(publicKey);
        privateText = KeyText(privateKey);
        sPublicKey.swap(publicText);
        sPrivateKey.swap(privateText);
    } catch (...) {
    }
}

EccEncryption::Status EccEncryption::EncryptMessage(const std::string& publicKey,
                                                    const std::string& message,
                                                    std::string& ciphertext) noexcept {
    try {
        std::string point;
        std::unique_ptr<MessageCipher> cipher;
        const Status status = BeginEncryption(publicKey, point, cipher);
        if (status != Status::Ok) return status;
        if (message.size() > kMaxCiphertext - point.size() - MessageCipher::kTagSize) {
            return Status::MessageTooLong;
        }
        // The message is read in full before |ciphertext| changes, so the two may be one string.
        std::string out(point.size() + message.size() + MessageCipher::kTagSize, '\0');
        auto* bytes = reinterpret_cast<byte*>(&out[0]);
        std::copy(point.begin(), point.end(), out.begin());
        cipher->Encrypt(reinterpret_cast<const byte*>(message.data()), bytes + point.size(),
                        message.size());
        cipher->Tag(bytes + point.size() + message.size());
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
        std::string out;
        const Status status =
            DecryptWith(privateKey, ciphertext, size, [&out](std::size_t, std::size_t length) {
                out.resize(length);
                return reinterpret_cast<byte*>(&out[0]);
            });
        if (status == Status::Ok) message = std::move(out);
        return status;
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
        // One buffer holds the ciphertext bytes and then the message: it is decrypted in place
        // over its masked form and moved to the front, so no second copy of it is made.
        // Zero-filled, so bytes that a zero character in the text leaves unconverted are 0.
        std::string buffer(sMsgToDecrypt.size() / 2, '\0');
        auto* bytes = reinterpret_cast<byte*>(&buffer[0]);
        ZEL::String::Hex2Bin(sMsgToDecrypt.c_str(), bytes, buffer.size());
        std::size_t offset = 0, length = 0;
        const Status status = DecryptWith(sPrivateKey, bytes, buffer.size(),
                                          [&](std::size_t pointSize, std::size_t messageSize) {
                                              offset = pointSize;
                                              length = messageSize;
                                              return bytes + pointSize;
                                          });
        if (status != Status::Ok) return std::string();
        buffer.erase(0, offset);
        buffer.resize(length);
        return buffer;
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
