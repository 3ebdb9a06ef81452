// The key derivation against Crypto++'s P1363_KDF2<SHA1>, and the streaming interface against
// the stock ECIES<ECP> decryptor and the one-shot operations.
#include <eccencryption/EccEncryption.h>
#include <eccencryption/EccStream.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "../core/MessageCipher.h"
#include "TestSupport.h"

namespace {

using Status = EccEncryption::Status;
using Bytes = std::vector<unsigned char>;

Bytes RandomBytes(std::size_t size, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(gen());
    return bytes;
}

// Piece sizes that a caller might use, cycled through: odd ones, ones around the cipher's
// internal piece (16 KiB) and the key derivation's group of four blocks (80 bytes), and zero.
const std::vector<std::vector<std::size_t>> kCuts = {
    {1 << 30}, {1}, {7, 0, 13}, {79, 80, 81}, {16383, 16385}, {65536}};

// Calls |piece(offset, size)| over |total| bytes cut as |cut| says.
template <typename Piece>
void ForEachPiece(std::size_t total, const std::vector<std::size_t>& cut, Piece piece) {
    for (std::size_t at = 0, i = 0; at < total || (total == 0 && i == 0); ++i) {
        const std::size_t n = std::min(cut[i % cut.size()], total - at);
        piece(at, n);
        at += n;
        if (total == 0) break;
    }
}

TEST(Kdf2Sha1, EqualsCryptoppsKdf2ForEverySecretLengthOutputLengthAndCut) {
    // Secret lengths around one and two blocks and the counter's place in the last block, and
    // those of P-256 (97), P-384 (145) and P-521 (199).
    for (const std::size_t zSize :
         {0, 1, 20, 51, 52, 55, 56, 63, 64, 65, 97, 115, 116, 128, 145, 199}) {
        const Bytes z = RandomBytes(zSize, zSize);
        for (const std::size_t outSize : {0, 1, 19, 20, 21, 79, 80, 81, 161, 1000, 20011}) {
            Bytes expected(outSize);
            CryptoPP::P1363_KDF2<CryptoPP::SHA1>::DeriveKey(expected.data(), outSize, z.data(),
                                                            z.size(), nullptr, 0);
            for (const auto& cut : kCuts) {
                eccencryption::Kdf2Sha1 kdf(z.data(), z.size());
                Bytes out(outSize);
                ForEachPiece(outSize, cut, [&](std::size_t at, std::size_t n) {
                    kdf.Generate(out.data() + at, n);
                });
                ASSERT_EQ(out, expected) << "Z of " << zSize << " bytes, " << outSize
                                         << " bytes of output, pieces of " << cut.front();
            }
        }
    }
}

struct Keys {
    std::string privateKey, publicKey;
    CryptoPP::ECIES<CryptoPP::ECP>::Decryptor stock;
};

// A key pair on |curve| as key texts, with the stock decryptor holding the same private key.
Keys MakeKeys(const CryptoPP::OID& curve) {
    CryptoPP::AutoSeededRandomPool rng;
    Keys keys;
    keys.stock.AccessKey().Initialize(rng, curve);
    CryptoPP::DL_PublicKey_EC<CryptoPP::ECP> pub;
    keys.stock.GetKey().MakePublicKey(pub);
    auto text = [](const CryptoPP::ASN1Object& key) {
        std::string t;
        CryptoPP::HexEncoder encoder(new CryptoPP::StringSink(t));
        key.DEREncode(encoder);
        encoder.MessageEnd();
        return t;
    };
    keys.privateKey = text(keys.stock.GetKey());
    keys.publicKey = text(pub);
    return keys;
}

Bytes StreamEncrypt(const std::string& publicKey, const Bytes& message,
                    const std::vector<std::size_t>& cut) {
    EccEncryption::StreamEncryptor encryptor;
    std::string point;
    EXPECT_EQ(encryptor.Start(publicKey, point), Status::Ok);
    Bytes ciphertext(point.begin(), point.end());
    ciphertext.resize(point.size() + message.size() + EccEncryption::StreamEncryptor::kTagSize);
    ForEachPiece(message.size(), cut, [&](std::size_t at, std::size_t n) {
        EXPECT_EQ(encryptor.Update(message.data() + at, n, &ciphertext[point.size() + at]),
                  Status::Ok);
    });
    EXPECT_EQ(encryptor.Finish(&ciphertext[point.size() + message.size()]), Status::Ok);
    return ciphertext;
}

// Decrypts in place, piece by piece; the status is Start's when it fails, else Finish's.
Status StreamDecrypt(const std::string& privateKey, Bytes ciphertext,
                     const std::vector<std::size_t>& cut, Bytes& message) {
    EccEncryption::StreamDecryptor decryptor;
    EXPECT_EQ(decryptor.SetKey(privateKey), Status::Ok);
    const std::size_t pointSize = decryptor.PointSize();
    const Status start = decryptor.Start(ciphertext.data(), pointSize);
    if (start != Status::Ok) return start;
    const std::size_t size =
        ciphertext.size() - pointSize - EccEncryption::StreamDecryptor::kTagSize;
    unsigned char* masked = ciphertext.data() + pointSize;
    ForEachPiece(size, cut, [&](std::size_t at, std::size_t n) {
        EXPECT_EQ(decryptor.Update(masked + at, n, masked + at), Status::Ok);
    });
    message.assign(masked, masked + size);
    return decryptor.Finish(masked + size, EccEncryption::StreamDecryptor::kTagSize);
}

// For a given ephemeral point, recipient and message the ciphertext is determined: the masked
// message is the message XOR the key stream of that point, and the tag a function of both. So a
// streamed ciphertext that the stock decryptor turns back into the message, with a valid tag, is
// byte for byte what the stock encryptor (and Encrypt) makes with the same ephemeral key.
TEST(Stream, CiphertextIsTheStockOneForEveryCurveSizeAndCut) {
    for (const auto& curve :
         {CryptoPP::ASN1::secp256r1(), CryptoPP::ASN1::secp384r1(), CryptoPP::ASN1::secp521r1()}) {
        Keys keys = MakeKeys(curve);
        for (const std::size_t size : {0, 1, 20, 16384, 16385, 100003}) {
            const Bytes message = RandomBytes(size, size + 1);
            for (const auto& cut : kCuts) {
                const Bytes ciphertext = StreamEncrypt(keys.publicKey, message, cut);
                Bytes stock(keys.stock.MaxPlaintextLength(ciphertext.size()));
                CryptoPP::AutoSeededRandomPool rng;
                const auto result =
                    keys.stock.Decrypt(rng, ciphertext.data(), ciphertext.size(), stock.data());
                ASSERT_TRUE(result.isValidCoding) << size << " bytes, pieces of " << cut.front();
                ASSERT_EQ(stock, message);

                // And back through the streaming decryptor, cut the same way.
                Bytes decrypted;
                ASSERT_EQ(StreamDecrypt(keys.privateKey, ciphertext, cut, decrypted), Status::Ok);
                ASSERT_EQ(decrypted, message);
            }
        }
    }
}

TEST(Stream, DecryptsWhatEncryptMakes) {
    Keys keys = MakeKeys(CryptoPP::ASN1::secp256r1());
    const Bytes message = RandomBytes(50000, 7);
    std::string ciphertext;
    ASSERT_EQ(EccEncryption::EncryptMessage(
                  keys.publicKey, std::string(message.begin(), message.end()), ciphertext),
              Status::Ok);
    Bytes decrypted;
    EXPECT_EQ(StreamDecrypt(keys.privateKey, Bytes(ciphertext.begin(), ciphertext.end()), {4096},
                            decrypted),
              Status::Ok);
    EXPECT_EQ(decrypted, message);
}

TEST(Stream, AlteredCiphertextFailsInEveryRegion) {
    Keys keys = MakeKeys(CryptoPP::ASN1::secp256r1());
    Keys other = MakeKeys(CryptoPP::ASN1::secp256r1());
    const Bytes message = RandomBytes(3 * 16384 + 5, 9);
    const Bytes ciphertext = StreamEncrypt(keys.publicKey, message, {16384});
    const std::size_t end = ciphertext.size();
    const struct {
        const char* region;
        std::size_t at;
        Status status;
    } cases[] = {
        {"point", 10, Status::AuthenticationFailed},
        {"first piece", 65 + 3, Status::AuthenticationFailed},
        {"last piece", end - 21, Status::AuthenticationFailed},
        {"tag", end - 1, Status::AuthenticationFailed},
    };
    for (const auto& c : cases) {
        Bytes altered = ciphertext;
        altered[c.at] ^= 0x01;
        Bytes decrypted;
        EXPECT_EQ(StreamDecrypt(keys.privateKey, altered, {16384}, decrypted), c.status)
            << c.region;
    }
    Bytes decrypted;
    EXPECT_EQ(StreamDecrypt(other.privateKey, ciphertext, {16384}, decrypted),
              Status::AuthenticationFailed);
}

TEST(Stream, CallsOutOfOrderAndBadArgumentsAreRefused) {
    Keys keys = MakeKeys(CryptoPP::ASN1::secp256r1());
    unsigned char buffer[32] = {};

    EccEncryption::StreamEncryptor encryptor;
    std::string point = "unchanged";
    EXPECT_EQ(encryptor.Update(buffer, 1, buffer), Status::InvalidState);
    EXPECT_EQ(encryptor.Finish(buffer), Status::InvalidState);
    EXPECT_EQ(encryptor.Start(keys.privateKey, point), Status::InvalidPublicKey);
    EXPECT_EQ(point, "unchanged");
    ASSERT_EQ(encryptor.Start(keys.publicKey, point), Status::Ok);
    EXPECT_EQ(point.size(), 65u);
    // Beyond the stream's limit nothing is read or written: the call only looks at the size.
    EXPECT_EQ(encryptor.Update(buffer, eccencryption::MessageCipher::kMaxMessage + 1, buffer),
              Status::MessageTooLong);
    EXPECT_EQ(encryptor.Finish(buffer), Status::Ok);
    EXPECT_EQ(encryptor.Finish(buffer), Status::InvalidState);

    EccEncryption::StreamDecryptor decryptor;
    EXPECT_EQ(decryptor.PointSize(), 0u);
    EXPECT_EQ(decryptor.Start(buffer, 65), Status::InvalidState);
    EXPECT_EQ(decryptor.SetKey(keys.publicKey), Status::InvalidPrivateKey);
    ASSERT_EQ(decryptor.SetKey(keys.privateKey), Status::Ok);
    EXPECT_EQ(decryptor.Update(buffer, 1, buffer), Status::InvalidState);
    EXPECT_EQ(decryptor.Start(reinterpret_cast<const unsigned char*>(point.data()), 64),
              Status::AuthenticationFailed);
    ASSERT_EQ(decryptor.Start(reinterpret_cast<const unsigned char*>(point.data()), 65),
              Status::Ok);
    EXPECT_EQ(decryptor.Finish(buffer, 19), Status::AuthenticationFailed);
    EXPECT_EQ(decryptor.Finish(buffer, 20), Status::InvalidState);
}

}  // namespace
