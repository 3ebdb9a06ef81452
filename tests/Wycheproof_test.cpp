// Project Wycheproof's ECDH vectors for secp256r1, read where they lie, judged by the library's
// own rules rather than by the ECDH verdicts: each case's public key as a recipient key, and
// each point that can stand at the start of a ciphertext as its ephemeral point.
#include <eccencryption/EccEncryption.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/oids.h>
#include <cryptopp/pubkey.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WycheproofCases.h"

namespace {

using CryptoPP::ECP;
using CryptoPP::Integer;
using Status = EccEncryption::Status;
using testsupport::FromHex;
using testsupport::ToHex;

using wycheproof::Case;
using wycheproof::Ciphertext;
using wycheproof::kPointSize;
using wycheproof::kPublicPrefix;
using wycheproof::kTagSize;
using wycheproof::LoadCases;
using wycheproof::PrivateKeyText;

const ECP& P256() {
    static const CryptoPP::DL_GroupParameters_EC<ECP> params(CryptoPP::ASN1::secp256r1());
    return params.GetCurve();
}

// OnCurve checks y^2 = x^3 + ax + b with reduced coordinates, by hand rather than through the
// curve code under test.
bool OnCurve(const ECP& curve, const ECP::Point& p) {
    const Integer& m = curve.GetField().GetModulus();
    if (p.identity || p.x.IsNegative() || p.y.IsNegative() || p.x >= m || p.y >= m) return false;
    return (p.y * p.y - (p.x * p.x * p.x + curve.GetA() * p.x + curve.GetB())) % m == 0;
}

// What a decryptor that skips the point check would derive: x(d * Q) computed with curve
// arithmetic that takes Q as given. A ciphertext made from it authenticates under such a
// decryptor, so rejecting it shows the check.
std::string UncheckedSharedX(const std::string& point, const Integer& d) {
    const ECP::Point q(Integer(reinterpret_cast<const CryptoPP::byte*>(point.data()) + 1, 32),
                       Integer(reinterpret_cast<const CryptoPP::byte*>(point.data()) + 33, 32));
    const ECP::Point s = P256().ScalarMultiply(q, d);
    if (s.identity) return "";
    std::string x(32, '\0');
    s.x.Encode(reinterpret_cast<CryptoPP::byte*>(x.data()), x.size());
    return x;
}

enum class Expect { Accept, Refuse, Either };

const char* Name(Expect e) {
    return e == Expect::Accept ? "accept" : e == Expect::Refuse ? "refuse" : "either";
}

// The library's rules for a recipient key, derived independently of its key loader. Returns
// the expected outcome and, when a point was decoded, its encoded size on its curve.
Expect PublicKeyExpectation(const Case& c, std::size_t& pointSize) {
    pointSize = kPointSize;
    // Explicit curve parameters are refused before anything decodes them.
    if (c.Has("UnnamedCurve")) return Expect::Refuse;
    if (c.result == "valid") return Expect::Accept;
    if (c.result == "acceptable") return Expect::Either;
    // Invalid for ECDH on secp256r1, but a readable key with a valid point on a named curve
    // that Crypto++ knows is a valid key of that curve.
    CryptoPP::DL_PublicKey_EC<ECP> key;
    try {
        CryptoPP::StringSource source(c.publicKey, true);
        key.BERDecode(source);
    } catch (const CryptoPP::Exception&) {
        return Expect::Refuse;
    }
    const ECP& curve = key.GetGroupParameters().GetCurve();
    pointSize = 1 + 2 * curve.GetField().GetModulus().ByteCount();
    return OnCurve(curve, key.GetPublicElement()) ? Expect::Accept : Expect::Refuse;
}

void PrintSummary(const char* what, const std::map<std::string, int>& counts) {
    std::string line;
    int total = 0;
    for (const auto& [outcome, count] : counts) {
        line += (line.empty() ? "" : ", ") + outcome + " " + std::to_string(count);
        total += count;
        ::testing::Test::RecordProperty(outcome, count);
    }
    std::printf("wycheproof %s: %d cases (%s)\n", what, total, line.c_str());
}

TEST(WycheproofTest, PublicKeysAsRecipientKeys) {
    const auto cases = LoadCases("ecdh_secp256r1_test.json");
    if (!cases) GTEST_SKIP() << "ecdh_secp256r1_test.json not found in " ECC_SHARED_VECTORS_DIR;
    ASSERT_FALSE(cases->empty());

    const std::string message = "message for a Wycheproof key";
    std::map<std::string, int> counts;
    for (const Case& c : *cases) {
        SCOPED_TRACE(c.Trace());
        std::size_t pointSize = 0;
        const Expect expect = PublicKeyExpectation(c, pointSize);
        const std::string text = ToHex(c.publicKey);

        std::string out = "previous";
        const unsigned int count = EccEncryption::Encrypt(text, message, out);
        std::string outMessage = "previous";
        const Status status = EccEncryption::EncryptMessage(text, message, outMessage);
        const bool accepted = count != 0;
        EXPECT_EQ(accepted, status == Status::Ok);

        if (accepted) {
            EXPECT_NE(expect, Expect::Refuse);
            EXPECT_EQ(out.size(), count);
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x04);
            if (expect == Expect::Accept) {
                EXPECT_EQ(count, pointSize + message.size() + kTagSize);
            }
        } else {
            EXPECT_NE(expect, Expect::Accept);
            EXPECT_EQ(status, Status::InvalidPublicKey) << EccEncryption::StatusText(status);
            EXPECT_EQ(out, "previous");
            EXPECT_EQ(outMessage, "previous");
        }
        ++counts[std::string(Name(expect)) + (accepted ? "/accepted" : "/refused")];
    }
    PrintSummary("public keys", counts);
}

TEST(WycheproofTest, PointsAsEphemeralPoints) {
    const auto spki = LoadCases("ecdh_secp256r1_test.json");
    const auto ecpoint = LoadCases("ecdh_secp256r1_ecpoint_test.json");
    if (!spki && !ecpoint) GTEST_SKIP() << "no ECDH vector files in " ECC_SHARED_VECTORS_DIR;

    // Every encoded point, and the point of every key with the standard named-secp256r1 layout.
    std::vector<std::pair<Case, std::string>> uses;
    for (const Case& c : ecpoint.value_or(std::vector<Case>())) uses.emplace_back(c, "ecpoint");
    const std::string prefix = FromHex(kPublicPrefix);
    for (Case c : spki.value_or(std::vector<Case>())) {
        if (c.publicKey.size() != prefix.size() + kPointSize ||
            c.publicKey.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        c.publicKey.erase(0, prefix.size());
        uses.emplace_back(c, "spki");
    }
    ASSERT_FALSE(uses.empty());

    std::map<std::string, int> counts;
    for (const auto& [c, source] : uses) {
        SCOPED_TRACE(source + " " + c.Trace());
        const std::string privateKey = PrivateKeyText(c.privateHex);
        const std::string scalar = FromHex(c.privateHex);
        const Integer d(reinterpret_cast<const CryptoPP::byte*>(scalar.data()), scalar.size());
        // Long enough that even a ciphertext without a full point reaches the point check.
        const std::string message = "message " + std::to_string(c.id) + std::string(1, '\0') +
                                    std::string(70 + c.id % 40, 'w');
        const std::string& point = c.publicKey;
        const bool uncompressed = point.size() == kPointSize && point[0] == 0x04;

        std::string shared = c.shared;
        if (uncompressed) {
            const std::string unchecked = UncheckedSharedX(point, d);
            // The test's own arithmetic must agree with the vectors on every valid case.
            if (c.result == "valid") {
                EXPECT_EQ(ToHex(unchecked), ToHex(shared));
            }
            if (shared.empty()) shared = unchecked;
        }
        const std::string ciphertext = Ciphertext(point, shared, message);

        std::string decrypted = "previous";
        const Status status = EccEncryption::DecryptMessage(
            privateKey, reinterpret_cast<const unsigned char*>(ciphertext.data()),
            ciphertext.size(), decrypted);
        const std::string text = EccEncryption::Decrypt(privateKey, ToHex(ciphertext));
        const bool accepted = status == Status::Ok;

        Expect expect = Expect::Refuse;
        if (uncompressed && c.result == "valid") expect = Expect::Accept;
        if (uncompressed && c.result == "acceptable") expect = Expect::Either;
        if (accepted) {
            EXPECT_NE(expect, Expect::Refuse);
            EXPECT_EQ(decrypted, message);
            EXPECT_EQ(text, message);
        } else {
            EXPECT_NE(expect, Expect::Accept) << EccEncryption::StatusText(status);
            EXPECT_NE(status, Status::InvalidPrivateKey);
            EXPECT_EQ(decrypted, "previous");
            EXPECT_EQ(text, "");
        }
        ++counts[std::string(Name(expect)) + (accepted ? "/decrypted" : "/rejected")];
    }
    PrintSummary("ephemeral points", counts);
}

}  // namespace
