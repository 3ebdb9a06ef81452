#include <eccencryption/EccEncryption.h>
#include <eccencryption/ZelString.h>

#include <cryptopp/asn.h>
#include <cryptopp/eccrypto.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

#include "Blinding.h"
#include "KeyText.h"

using eccencryption::BlindedExponent;
using eccencryption::BlindedPublicPoint;
using eccencryption::KeyText;
using eccencryption::LoadPrivateKey;
using eccencryption::LoadPublicKey;
using eccencryption::PrivateKey;
using eccencryption::PublicKey;
using eccencryption::WipedString;

namespace {

using CryptoPP::byte;
using Scheme = CryptoPP::ECIES<CryptoPP::ECP>;
using Status = EccEncryption::Status;

constexpr std::size_t kTagSize = 20;  // HMAC-SHA-1
constexpr std::uint64_t kMaxCiphertext = 0xFFFFFFFFu;
constexpr unsigned int kMinSeedBytes = 32;
constexpr unsigned int kMaxSeedBytes = 4096;

// The profile's encryptor and decryptor, with the scheme's own algorithm objects (key
// agreement, key derivation, XOR-and-MAC) in reach for the paths below.
template <typename Base>
class WithAlgorithms : public Base {
  public:
    using Base::GetKeyAgreementAlgorithm;
    using Base::GetKeyDerivationAlgorithm;
    using Base::GetSymmetricEncryptionAlgorithm;
};
using Encryptor = WithAlgorithms<Scheme::Encryptor>;
using Decryptor = WithAlgorithms<Scheme::Decryptor>;

// EncryptInto writes the ciphertext of |size| message bytes into |out| (E + size + 20 bytes),
// as the stock encryptor does, but without a key-stream buffer of the message's size: the key
// material (MAC key, then key stream) is derived into |out| itself, the key stream exactly
// where the masked message goes and the MAC key just before it, inside the place of the
// ephemeral point, which is written last. The masking then runs in place, and every byte of
// key material is overwritten by ciphertext.
void EncryptInto(const Encryptor& encryptor, CryptoPP::RandomNumberGenerator& rng,
                 const byte* message, std::size_t size, byte* out) {
    const auto& params = encryptor.GetKey().GetGroupParameters();
    const CryptoPP::DL_SymmetricEncryptionAlgorithm& symmetric =
        encryptor.GetSymmetricEncryptionAlgorithm();
    const std::size_t pointSize = params.GetEncodedElementSize(true);
    const std::size_t keySize = symmetric.GetSymmetricKeyLength(size);
    if (keySize - size > pointSize) {
        // A MAC key longer than a point: no curve has one, but stay correct if it happens.
        encryptor.Encrypt(rng, message, size, out);
        return;
    }
    const CryptoPP::Integer x(rng, CryptoPP::Integer::One(), params.GetMaxExponent());
    const CryptoPP::ECP::Point q = params.ExponentiateBase(x);
    const CryptoPP::ECP::Point z =
        encryptor.GetKeyAgreementAlgorithm().AgreeWithEphemeralPrivateKey(
            params, encryptor.GetKey().GetPublicPrecomputation(), x);
    byte* body = out + pointSize;
    byte* keyMaterial = body - (keySize - size);
    encryptor.GetKeyDerivationAlgorithm().Derive(params, keyMaterial, keySize, z, q,
                                                 CryptoPP::g_nullNameValuePairs);
    symmetric.SymmetricEncrypt(rng, keyMaterial, message, size, body,
                               CryptoPP::g_nullNameValuePairs);
    params.EncodeElement(true, q, out);
}

// DecryptBytes decrypts |size| >= E + 20 ciphertext bytes into |plaintext|, which may be the
// masked message itself (ciphertext + E). It gives what the stock decryptor gives, and leaves
// |plaintext| untouched when the ciphertext is invalid. The decryptor's private exponent may be
// a blinded one (d + r*n): both paths give the same result with it, since they multiply only
// points of the prime-order subgroup by it.
//
// The stock decryptor proves that the ephemeral point lies in the prime-order subgroup by
// multiplying it by the subgroup order, together with the multiplication by the private value.
// With cofactor 1 the whole group has prime order, so a point that is on the curve and not the
// identity is in it already: the point is checked directly and only the one multiplication
// that the shared secret needs is made. Other cofactors keep the stock path.
CryptoPP::DecodingResult DecryptBytes(const Decryptor& decryptor,
                                      CryptoPP::RandomNumberGenerator& rng, const byte* ciphertext,
                                      std::size_t size, byte* plaintext) {
    const auto& params = decryptor.GetKey().GetGroupParameters();
    if (params.GetCofactor() != 1) {
        // The stock decryptor multiplies the point by n and by the (blinded) private exponent
        // together, and refuses the point unless the first product is the identity.
        return decryptor.Decrypt(rng, ciphertext, size, plaintext);
    }
    const CryptoPP::ECP& curve = params.GetCurve();
    const std::size_t pointSize = params.GetEncodedElementSize(true);
    CryptoPP::ECP::Point q;
    // DecodePoint accepts only the uncompressed form of the curve's size (or 00, the identity);
    // VerifyPoint checks that both coordinates are below p and satisfy the curve equation.
    if (!curve.DecodePoint(q, ciphertext, pointSize) || q.identity || !curve.VerifyPoint(q)) {
        return CryptoPP::DecodingResult();
    }
    const CryptoPP::ECP::Point z = decryptor.GetKeyAgreementAlgorithm().AgreeWithStaticPrivateKey(
        params, q, false, decryptor.GetKey().GetPrivateExponent());

    const CryptoPP::DL_SymmetricEncryptionAlgorithm& symmetric =
        decryptor.GetSymmetricEncryptionAlgorithm();
    const std::size_t symmetricSize = size - pointSize;
    CryptoPP::SecByteBlock key(
        symmetric.GetSymmetricKeyLength(symmetric.GetMaxSymmetricPlaintextLength(symmetricSize)));
    decryptor.GetKeyDerivationAlgorithm().Derive(params, key, key.size(), z, q,
                                                 CryptoPP::g_nullNameValuePairs);
    return symmetric.SymmetricDecrypt(key, ciphertext + pointSize, symmetricSize, plaintext,
                                      CryptoPP::g_nullNameValuePairs);
}

// DecryptWith loads the private key, checks the length and decrypts |size| ciphertext bytes.
// |output(pointSize, messageSize)| gives where the message goes; it is called once the
// lengths are known and the key is good.
template <typename Output>
Status DecryptWith(const std::string& privateKey, const byte* ciphertext, std::size_t size,
                   Output output) {
    Decryptor decryptor;
    if (!LoadPrivateKey(privateKey, decryptor.AccessKey())) return Status::InvalidPrivateKey;

    const std::size_t pointSize =
        decryptor.GetKey().GetGroupParameters().GetEncodedElementSize(true);
    if (ciphertext == nullptr || size < pointSize + kTagSize) return Status::CiphertextTooShort;

    // Decryption draws randomness: the private value is blinded (d + r*n, see Blinding.h) with a
    // fresh r from the operating system for this call, so that the time the multiplication takes
    // and the table entries it reads do not depend on d. When the source fails, NonblockingRng
    // throws and the call reports an internal failure; it never falls back to the bare d.
    CryptoPP::NonblockingRng rng;
    auto& key = decryptor.AccessKey();
    key.SetPrivateExponent(BlindedExponent(key.GetPrivateExponent(),
                                           key.GetGroupParameters().GetSubgroupOrder(), rng));

    const std::size_t messageSize = decryptor.MaxPlaintextLength(size);
    const CryptoPP::DecodingResult result =
        DecryptBytes(decryptor, rng, ciphertext, size, output(pointSize, messageSize));
    if (!result.isValidCoding || result.messageLength != messageSize) {
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
        Encryptor encryptor;
        if (!LoadPublicKey(publicKey, encryptor.AccessKey())) return Status::InvalidPublicKey;

        const std::size_t pointSize =
            encryptor.GetKey().GetGroupParameters().GetEncodedElementSize(true);
        if (message.size() > kMaxCiphertext - pointSize - kTagSize) return Status::MessageTooLong;

        std::string out(encryptor.CiphertextLength(message.size()), '\0');
        // A fresh generator seeded by the operating system: the ephemeral scalar must be
        // unpredictable, or anyone could recompute the shared secret.
        CryptoPP::AutoSeededRandomPool rng;
        EncryptInto(encryptor, rng, reinterpret_cast<const byte*>(message.data()), message.size(),
                    reinterpret_cast<byte*>(&out[0]));
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
