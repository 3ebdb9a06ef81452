#include <eccencryption/EccEncryption.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace {

using Status = EccEncryption::Status;
using CryptoPP::ECP;
using CryptoPP::Integer;
using testsupport::FromHex;
using testsupport::ToHex;

const std::string kPublicPrefix = "3059301306072A8648CE3D020106082A8648CE3D03010703420004";
const std::string kPrivatePrefix =
    "3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420";
constexpr std::size_t kOverhead = 85;  // ephemeral point (65) and tag (20) for P-256

struct KeyPair {
    std::string privateKey, publicKey;
};

KeyPair NewKeys(unsigned int seedBytes = 32) {
    KeyPair keys;
    EccEncryption::GenerateEccKeys(seedBytes, keys.privateKey, keys.publicKey);
    return keys;
}

std::string CiphertextText(const std::string& publicKey, const std::string& message) {
    std::string ciphertext;
    EXPECT_EQ(EccEncryption::Encrypt(publicKey, message, ciphertext), message.size() + kOverhead);
    return ToHex(ciphertext);
}

Status DecryptBytes(const std::string& privateKey, const std::string& ciphertext,
                    std::string& message) {
    return EccEncryption::DecryptMessage(privateKey,
                                         reinterpret_cast<const unsigned char*>(ciphertext.data()),
                                         ciphertext.size(), message);
}

bool IsUpperHex(const std::string& s) {
    return s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// Key texts made with Crypto++ directly, to reach curves, encodings and values that the
// library's own generator never produces.
std::string DerText(const CryptoPP::ASN1Object& key) {
    std::string text;
    CryptoPP::HexEncoder encoder(new CryptoPP::StringSink(text));
    key.DEREncode(encoder);
    encoder.MessageEnd();
    return text;
}

CryptoPP::DL_GroupParameters_EC<ECP> Curve(const CryptoPP::OID& oid, bool named = true) {
    CryptoPP::DL_GroupParameters_EC<ECP> params(oid);
    params.SetEncodeAsOID(named);
    return params;
}

std::string PrivateText(const Integer& d, const CryptoPP::OID& oid = CryptoPP::ASN1::secp256r1(),
                        bool named = true) {
    CryptoPP::DL_PrivateKey_EC<ECP> key;
    key.Initialize(Curve(oid, named), d);
    return DerText(key);
}

std::string PublicText(const Integer& d, const CryptoPP::OID& oid = CryptoPP::ASN1::secp256r1(),
                       bool named = true) {
    const auto params = Curve(oid, named);
    CryptoPP::DL_PublicKey_EC<ECP> key;
    key.Initialize(params, params.ExponentiateBase(d));
    return DerText(key);
}

const Integer& Order() {
    static const Integer n = Curve(CryptoPP::ASN1::secp256r1()).GetSubgroupOrder();
    return n;
}

// ---------------------------------------------------------------------------------------------
// Key generation

TEST(KeyGeneration, TextsHaveTheDesignedLayoutForEverySeedSize) {
    for (const unsigned int seed : {0u, 1u, 16u, 32u, 256u, 4096u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(seed);
        const KeyPair keys = NewKeys(seed);
        ASSERT_EQ(keys.publicKey.size(), 182u);
        ASSERT_EQ(keys.privateKey.size(), 134u);
        EXPECT_EQ(keys.publicKey.compare(0, kPublicPrefix.size(), kPublicPrefix), 0);
        EXPECT_EQ(keys.privateKey.compare(0, kPrivatePrefix.size(), kPrivatePrefix), 0);
        EXPECT_TRUE(IsUpperHex(keys.publicKey));
        EXPECT_TRUE(IsUpperHex(keys.privateKey));
    }
}

TEST(KeyGeneration, OpenSSLReadsTheKeysAsOnePair) {
#ifdef _WIN32
    GTEST_SKIP() << "runs the openssl command, which the Windows test system does not have";
#endif
    const KeyPair keys = NewKeys();
    const std::string dir = ::testing::TempDir();
    const std::string priv = dir + "ecc_priv.der", pub = dir + "ecc_pub.der",
                      derived = dir + "ecc_derived.der";
    std::ofstream(priv, std::ios::binary) << FromHex(keys.privateKey);
    std::ofstream(pub, std::ios::binary) << FromHex(keys.publicKey);

    const std::string check = "openssl pkey -pubin -inform DER -in " + pub + " -noout";
    ASSERT_EQ(std::system(check.c_str()), 0) << check;
    const std::string derive =
        "openssl pkey -inform DER -in " + priv + " -pubout -outform DER -out " + derived;
    ASSERT_EQ(std::system(derive.c_str()), 0) << derive;

    std::ifstream in(derived, std::ios::binary);
    const std::string derivedDer((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(ToHex(derivedDer), keys.publicKey) << "the public key is not d*G of the private key";
    std::remove(priv.c_str());
    std::remove(pub.c_str());
    std::remove(derived.c_str());
}

// Catches a generator that is not seeded from the operating system: without that, two calls in
// the same instant draw the same private key.
TEST(KeyGeneration, EveryCallMakesAnUnrelatedPair) {
    std::set<std::string> seen;
    for (const unsigned int seed : {0u, 0u, 1u, 1u, 32u, 32u}) {
        const KeyPair keys = NewKeys(seed);
        EXPECT_TRUE(seen.insert(keys.privateKey).second) << "repeated private key, seed " << seed;
        EXPECT_TRUE(seen.insert(keys.publicKey).second) << "repeated public key, seed " << seed;
    }
}

TEST(KeyGeneration, OutputsAreReplacedAndOneStringForBothEndsPrivate) {
    std::string priv = "old private", pub = std::string(500, 'x');
    EccEncryption::GenerateEccKeys(32, priv, pub);
    EXPECT_EQ(priv.size(), 134u);
    EXPECT_EQ(pub.size(), 182u);

    std::string both = "old";
    EccEncryption::GenerateEccKeys(32, both, both);
    ASSERT_EQ(both.size(), 134u);
    EXPECT_EQ(both.compare(0, kPrivatePrefix.size(), kPrivatePrefix), 0);
}

// ---------------------------------------------------------------------------------------------
// Round trips

TEST(RoundTrip, MessagesOfEverySizeComeBackExactly) {
    const KeyPair keys = NewKeys();
    std::string withZeros("a\0b\0\0c", 6);
    std::string large(64 * 1024, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 251);

    for (const std::string& message :
         {std::string(), std::string("x"), std::string(16, 'q'), std::string(17, '\0'), withZeros,
          std::string(1000, '\xff'), large}) {
        SCOPED_TRACE(message.size());
        std::string ciphertext = "previous content that must not survive";
        const unsigned int count = EccEncryption::Encrypt(keys.publicKey, message, ciphertext);
        ASSERT_EQ(count, message.size() + kOverhead);
        ASSERT_EQ(ciphertext.size(), count);
        EXPECT_EQ(ciphertext[0], '\x04');

        const std::string text = ToHex(ciphertext);
        EXPECT_EQ(EccEncryption::Decrypt(keys.privateKey, text), message);
        EXPECT_EQ(EccEncryption::Decrypt(keys.privateKey, ToHex(ciphertext, false)), message);
        EXPECT_EQ(EccEncryption::Decrypt(keys.privateKey, text + "7"), message) << "odd tail";

        std::string out = "untouched";
        ASSERT_EQ(DecryptBytes(keys.privateKey, ciphertext, out), Status::Ok);
        EXPECT_EQ(out, message);
    }
}

TEST(RoundTrip, MessageStringMayAlsoBeTheOutput) {
    const KeyPair keys = NewKeys();
    std::string buffer = "in place";
    ASSERT_EQ(EccEncryption::Encrypt(keys.publicKey, buffer, buffer), 8 + kOverhead);
    EXPECT_EQ(EccEncryption::Decrypt(keys.privateKey, ToHex(buffer)), "in place");
}

TEST(RoundTrip, KeyTextsAreReadLeniently) {
    const KeyPair keys = NewKeys();
    std::string lower = keys.publicKey, spaced, lowerPrivate = keys.privateKey;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : lowerPrivate) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (std::size_t i = 0; i < keys.publicKey.size(); i += 2) {
        spaced += keys.publicKey.substr(i, 2) + (i % 4 ? ": " : "\n");
    }
    for (const std::string& publicKey : {lower, spaced}) {
        const std::string text = CiphertextText(publicKey, "lenient");
        EXPECT_EQ(EccEncryption::Decrypt(lowerPrivate, text), "lenient");
    }
}

TEST(RoundTrip, KeysOnOtherNamedPrimeCurvesWork) {
    const Integer d("0x1234567890abcdef1234567890abcdef");
    const auto curve = CryptoPP::ASN1::secp384r1();
    std::string ciphertext;
    ASSERT_EQ(EccEncryption::Encrypt(PublicText(d, curve), "p384", ciphertext), 4u + 97 + 20);
    EXPECT_EQ(EccEncryption::Decrypt(PrivateText(d, curve), ToHex(ciphertext)), "p384");
}

// ---------------------------------------------------------------------------------------------
// Encryption failures

TEST(Encrypt, RefusesEveryUnusablePublicKeyAndLeavesTheOutput) {
    const KeyPair keys = NewKeys();
    std::string offCurve = keys.publicKey;
    offCurve.back() = offCurve.back() == '0' ? '1' : '0';
    // A SubjectPublicKeyInfo whose BIT STRING holds the single byte 00: the point at infinity.
    const std::string infinity =
        "3019301306072A8648CE3D020106082A8648CE3D030107030200"
        "00";

    const struct {
        const char* name;
        std::string key;
    } cases[] = {
        {"empty", ""},
        {"not hex", "this is not a key"},
        {"truncated", keys.publicKey.substr(0, 180)},
        {"private-key text", keys.privateKey},
        {"point not on the curve", offCurve},
        {"point at infinity", infinity},
        {"explicit curve parameters",
         PublicText(Integer(12345), CryptoPP::ASN1::secp256r1(), false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "unchanged";
        EXPECT_EQ(EccEncryption::Encrypt(c.key, "message", out), 0u);
        EXPECT_EQ(out, "unchanged");
        EXPECT_EQ(EccEncryption::EncryptMessage(c.key, "message", out), Status::InvalidPublicKey);
        EXPECT_EQ(out, "unchanged");
    }
}

// Catches an ephemeral scalar drawn from a generator that is not seeded by the operating
// system: calls in the same instant would then reuse the ephemeral point.
TEST(Encrypt, EveryCallUsesAFreshEphemeralKey) {
    const KeyPair keys = NewKeys();
    std::set<std::string> points;
    for (int i = 0; i < 32; ++i) {
        std::string ciphertext;
        ASSERT_GT(EccEncryption::Encrypt(keys.publicKey, "same message", ciphertext), 0u);
        EXPECT_TRUE(points.insert(ciphertext.substr(0, 65)).second) << "repeated at call " << i;
    }
}

// The count is 32 bits wide: a ciphertext that would not fit is refused, never truncated.
TEST(Encrypt, RefusesCiphertextsBeyondFourGiB) {
    if (std::getenv("ECC_SKIP_LARGE_TESTS") != nullptr) GTEST_SKIP() << "ECC_SKIP_LARGE_TESTS";
    const KeyPair keys = NewKeys();
    const std::string message(0xFFFFFFFFull - kOverhead + 1, 'm');
    std::string out = "unchanged";
    EXPECT_EQ(EccEncryption::Encrypt(keys.publicKey, message, out), 0u);
    EXPECT_EQ(EccEncryption::EncryptMessage(keys.publicKey, message, out), Status::MessageTooLong);
    EXPECT_EQ(out, "unchanged");
}

// ---------------------------------------------------------------------------------------------
// Decryption failures

TEST(Decrypt, EveryFailureGivesAnEmptyString) {
    const KeyPair keys = NewKeys();
    const KeyPair other = NewKeys();
    const std::string message = "a message that must not leak";
    const std::string text = CiphertextText(keys.publicKey, message);
    auto flip = [&](std::size_t byte) {
        std::string altered = FromHex(text);
        altered[byte] = static_cast<char>(altered[byte] ^ 0x01);
        return altered;
    };
    std::string colons;
    for (std::size_t i = 0; i < text.size(); i += 2) colons += text.substr(i, 2) + ":";

    const struct {
        const char* name;
        std::string key;
        std::string ciphertext;  // bytes
        Status status;
    } cases[] = {
        {"point byte altered", keys.privateKey, flip(10), Status::AuthenticationFailed},
        {"point prefix altered", keys.privateKey, flip(0), Status::AuthenticationFailed},
        {"masked message altered", keys.privateKey, flip(65), Status::AuthenticationFailed},
        {"tag altered", keys.privateKey, flip(65 + message.size() + 19),
         Status::AuthenticationFailed},
        {"another private key", other.privateKey, FromHex(text), Status::AuthenticationFailed},
        {"separators shift the pairs", keys.privateKey, FromHex(colons),
         Status::AuthenticationFailed},
        {"84 bytes", keys.privateKey, FromHex(text.substr(0, 168)), Status::CiphertextTooShort},
        {"empty ciphertext", keys.privateKey, "", Status::CiphertextTooShort},
        {"public-key text as key", keys.publicKey, FromHex(text), Status::InvalidPrivateKey},
        {"empty key", "", FromHex(text), Status::InvalidPrivateKey},
        {"explicit curve parameters",
         PrivateText(Integer(12345), CryptoPP::ASN1::secp256r1(), false), FromHex(text),
         Status::InvalidPrivateKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EccEncryption::Decrypt(c.key, ToHex(c.ciphertext)), "");
        std::string out = "unchanged";
        EXPECT_EQ(DecryptBytes(c.key, c.ciphertext, out), c.status);
        EXPECT_EQ(out, "unchanged");
    }
    EXPECT_EQ(EccEncryption::Decrypt(keys.privateKey, colons), "") << "text with colons";
}

// Private values are 1..n-1. A value of 0 would crash inside the scalar multiplication.
TEST(Decrypt, RefusesPrivateValuesOutsideTheGroupOrder) {
    const KeyPair keys = NewKeys();
    const std::string text = CiphertextText(keys.publicKey, "secret");
    for (const Integer& d : {Integer::Zero(), Order(), Order() + 1}) {
        SCOPED_TRACE(d);
        std::string out = "unchanged";
        EXPECT_EQ(EccEncryption::Decrypt(PrivateText(d), text), "");
        EXPECT_EQ(DecryptBytes(PrivateText(d), FromHex(text), out), Status::InvalidPrivateKey);
    }
    const Integer largest = Order() - 1;
    EXPECT_EQ(
        EccEncryption::Decrypt(PrivateText(largest), CiphertextText(PublicText(largest), "edge")),
        "edge");
}

// ---------------------------------------------------------------------------------------------
// Threads

TEST(Concurrent, MixedOperationsFromEightThreadsAllRoundTrip) {
    const KeyPair shared = NewKeys();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 12; ++i) {
                const KeyPair own = (i + t) % 3 == 0 ? NewKeys() : shared;
                const std::string message(static_cast<std::size_t>(t * 100 + i), char('a' + t));
                std::string ciphertext;
                if (EccEncryption::Encrypt(own.publicKey, message, ciphertext) !=
                        message.size() + kOverhead ||
                    EccEncryption::Decrypt(own.privateKey, ToHex(ciphertext)) != message) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
