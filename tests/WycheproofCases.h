// Reading Project Wycheproof's ECDH vectors for secp256r1 where they lie, and turning a case into
// the pieces a ciphertext test needs. Shared by the suites that run the vectors.
#ifndef ECCENCRYPTION_TESTS_WYCHEPROOFCASES_H
#define ECCENCRYPTION_TESTS_WYCHEPROOFCASES_H

#include <cryptopp/eccrypto.h>
#include <cryptopp/hmac.h>
#include <cryptopp/pubkey.h>
#include <cryptopp/sha.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace wycheproof {

constexpr std::size_t kPointSize = 65;
constexpr std::size_t kTagSize = 20;
constexpr char kPublicPrefix[] = "3059301306072A8648CE3D020106082A8648CE3D030107034200";
constexpr char kPrivatePrefix[] =
    "3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420";

struct Case {
    int id;
    std::string result;  // "valid", "acceptable" or "invalid"
    std::set<std::string> flags;
    std::string publicKey;  // bytes: DER SubjectPublicKeyInfo or an encoded point
    std::string privateHex;
    std::string shared;  // bytes; empty where ECDH has no result
    std::string comment;

    bool Has(const char* flag) const { return flags.count(flag) != 0; }
    std::string Trace() const {
        return "tcId " + std::to_string(id) + " (" + result + ", " + comment + ")";
    }
};

// LoadCases returns the cases of one vector file, or nothing when the file is absent.
inline std::optional<std::vector<Case>> LoadCases(const std::string& name) {
    using testsupport::FromHex;
    const std::string path = std::string(ECC_SHARED_VECTORS_DIR) + "/" + name;
    std::ifstream in(path);
    if (!in) return std::nullopt;
    const nlohmann::json suite = nlohmann::json::parse(in);
    std::vector<Case> cases;
    for (const auto& group : suite.at("testGroups")) {
        for (const auto& t : group.at("tests")) {
            cases.push_back(
                {t.at("tcId").get<int>(), t.at("result").get<std::string>(),
                 t.at("flags").get<std::set<std::string>>(),
                 FromHex(t.at("public").get<std::string>()), t.at("private").get<std::string>(),
                 FromHex(t.at("shared").get<std::string>()), t.at("comment").get<std::string>()});
        }
    }
    // A truncated or altered file must not pass with fewer cases.
    EXPECT_EQ(cases.size(), suite.at("numberOfTests").get<std::size_t>()) << path;
    return cases;
}

// EphemeralPoints returns every encoded point of the ecpoint file and the point of every key of
// the other file with the standard named-secp256r1 layout, each with its case.
inline std::vector<Case> EphemeralPoints() {
    std::vector<Case> points =
        LoadCases("ecdh_secp256r1_ecpoint_test.json").value_or(std::vector<Case>());
    const std::string prefix = testsupport::FromHex(kPublicPrefix);
    for (Case c : LoadCases("ecdh_secp256r1_test.json").value_or(std::vector<Case>())) {
        if (c.publicKey.size() != prefix.size() + kPointSize ||
            c.publicKey.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        c.publicKey.erase(0, prefix.size());
        points.push_back(std::move(c));
    }
    return points;
}

// PrivateKeyText wraps a case's private scalar as a private-key text: a leading 00 dropped,
// padded to 32 bytes.
inline std::string PrivateKeyText(const std::string& privateHex) {
    using testsupport::FromHex;
    using testsupport::ToHex;
    std::string hex = privateHex;
    while (hex.size() > 64 && hex.compare(0, 2, "00") == 0) hex.erase(0, 2);
    EXPECT_LE(hex.size(), 64u) << "private scalar wider than 32 bytes";
    return kPrivatePrefix + std::string(64 - hex.size(), '0') + ToHex(FromHex(hex));
}

// Ciphertext builds point || masked message || tag from a shared value with Crypto++'s
// primitives: KDF2-SHA-1 over point || shared, MAC key 16 bytes, then the key stream, and
// HMAC-SHA-1 over the masked message and eight zero bytes.
inline std::string Ciphertext(const std::string& point, const std::string& shared,
                              const std::string& message) {
    const std::string z = point + shared;
    CryptoPP::SecByteBlock k(16 + message.size() + 4);
    CryptoPP::P1363_KDF2<CryptoPP::SHA1>::DeriveKey(
        k.data(), k.size(), reinterpret_cast<const CryptoPP::byte*>(z.data()), z.size(), nullptr,
        0);
    std::string masked = message;
    for (std::size_t i = 0; i < masked.size(); ++i)
        masked[i] = static_cast<char>(masked[i] ^ k[16 + i]);
    CryptoPP::HMAC<CryptoPP::SHA1> mac(k.data(), 16);
    mac.Update(reinterpret_cast<const CryptoPP::byte*>(masked.data()), masked.size());
    const CryptoPP::byte lengthBlock[8] = {};
    mac.Update(lengthBlock, sizeof lengthBlock);
    std::string tag(kTagSize, '\0');
    mac.Final(reinterpret_cast<CryptoPP::byte*>(&tag[0]));
    return point + masked + tag;
}

}  // namespace wycheproof

#endif  // ECCENCRYPTION_TESTS_WYCHEPROOFCASES_H
