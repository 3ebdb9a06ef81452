// Known-answer vectors made by an implementation that shares no code with the library
// (tests/vectors/gen_ecies_vectors.py on python3-cryptography). A wrong key derivation input,
// MAC input, key split or ciphertext layout cannot decrypt them.
#include <eccencryption/EccEncryption.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using Status = EccEncryption::Status;
using testsupport::FromHex;
using testsupport::ToHex;

struct Vector {
    int line = 0;  // where the case starts in the file
    std::map<std::string, std::string> fields;

    const std::string& Get(const std::string& key) const { return fields.at(key); }
};

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Reads "key = value" lines; blank lines separate cases, '#' starts a comment line.
std::vector<Vector> LoadVectors(const std::string& path) {
    static const std::set<std::string> kKeys = {"id",      "private",    "public",
                                                "message", "ciphertext", "expect"};
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot open " << path;
    std::vector<Vector> vectors;
    Vector current;
    auto finish = [&] {
        if (current.fields.empty()) return;
        EXPECT_EQ(current.fields.size(), kKeys.size())
            << path << ":" << current.line << ": case lacks a field";
        if (current.fields.size() == kKeys.size()) vectors.push_back(current);
        current = Vector();
    };
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = Trim(line);
        if (!line.empty() && line[0] == '#') continue;
        if (line.empty()) {
            finish();
            continue;
        }
        const auto eq = line.find('=');
        const std::string key = Trim(line.substr(0, eq));
        if (eq == std::string::npos || kKeys.count(key) == 0) {
            ADD_FAILURE() << path << ":" << number << ": unreadable line";
            continue;
        }
        if (current.fields.empty()) current.line = number;
        current.fields[key] = Trim(line.substr(eq + 1));
    }
    finish();
    return vectors;
}

std::vector<Vector> Vectors() {
    return LoadVectors(std::string(ECC_TEST_DATA_DIR) + "/vectors/ecies_kat.txt");
}

const std::map<std::string, Status>& Outcomes() {
    static const std::map<std::string, Status> kOutcomes = {
        {"ok", Status::Ok},
        {"auth-fail", Status::AuthenticationFailed},
        {"bad-key", Status::InvalidPrivateKey},
        {"too-short", Status::CiphertextTooShort},
    };
    return kOutcomes;
}

TEST(KnownAnswerTest, DecryptGivesTheExpectedOutcome) {
    const std::vector<Vector> vectors = Vectors();
    std::map<std::string, int> seen;
    for (const Vector& v : vectors) {
        SCOPED_TRACE("case " + v.Get("id") + " (line " + std::to_string(v.line) + ")");
        const auto outcome = Outcomes().find(v.Get("expect"));
        ASSERT_NE(outcome, Outcomes().end()) << "unknown expect value";
        ++seen[outcome->first];
        const Status expected = outcome->second;
        const std::string message = FromHex(v.Get("message"));
        const std::string ciphertext = FromHex(v.Get("ciphertext"));

        EXPECT_EQ(EccEncryption::Decrypt(v.Get("private"), v.Get("ciphertext")),
                  expected == Status::Ok ? message : std::string());

        std::string out = "untouched";
        EXPECT_EQ(EccEncryption::DecryptMessage(
                      v.Get("private"), reinterpret_cast<const unsigned char*>(ciphertext.data()),
                      ciphertext.size(), out),
                  expected);
        EXPECT_EQ(out, expected == Status::Ok ? message : "untouched");
    }
    // Every outcome must be exercised, or a damaged file could pass unnoticed.
    for (const auto& outcome : Outcomes()) {
        EXPECT_GT(seen[outcome.first], 0) << "no case expects " << outcome.first;
    }
    std::printf("known-answer vectors: %zu cases (ok %d, auth-fail %d, bad-key %d, too-short %d)\n",
                vectors.size(), seen["ok"], seen["auth-fail"], seen["bad-key"], seen["too-short"]);
}

// The vectors' key texts are the library's formats: encrypting to each public-key text works
// and the matching private-key text decrypts the result.
TEST(KnownAnswerTest, VectorKeyPairsRoundTrip) {
    std::set<std::string> publicKeys;
    for (const Vector& v : Vectors()) {
        SCOPED_TRACE("case " + v.Get("id"));
        const std::string& publicKey = v.Get("public");
        // Only the out-of-range private values have no public key.
        ASSERT_EQ(publicKey.empty(), v.Get("expect") == "bad-key");
        if (publicKey.empty() || !publicKeys.insert(publicKey).second) continue;
        EXPECT_EQ(publicKey.size(), 182u);
        EXPECT_EQ(v.Get("private").size(), 134u);

        const std::string message = "round trip for " + v.Get("id");
        std::string ciphertext;
        ASSERT_EQ(EccEncryption::Encrypt(publicKey, message, ciphertext), message.size() + 85);
        EXPECT_EQ(EccEncryption::Decrypt(v.Get("private"), ToHex(ciphertext)), message);
    }
    EXPECT_GE(publicKeys.size(), 3u);  // two recipients and the key with value n-1
}

}  // namespace
