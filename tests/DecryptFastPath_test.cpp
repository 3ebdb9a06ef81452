// Decryption against Crypto++'s stock ECIES decryptor: on every ciphertext, valid, altered,
// forged or taken from the Wycheproof vectors, the library must accept exactly what the stock
// decryptor accepts and give the same bytes.
#include <eccencryption/EccEncryption.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/nbtheory.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
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
using Scheme = CryptoPP::ECIES<ECP>;
using Params = CryptoPP::DL_GroupParameters_EC<ECP>;

const CryptoPP::byte* Bytes(const std::string& s) {
    return reinterpret_cast<const CryptoPP::byte*>(s.data());
}

// StockDecrypt decrypts with the stock decryptor; false when it refuses the ciphertext.
bool StockDecrypt(const std::string& privateKey, const std::string& ciphertext,
                  std::string& message) {
    Scheme::Decryptor decryptor;
    CryptoPP::StringSource source(privateKey, true, new CryptoPP::HexDecoder);
    decryptor.AccessKey().BERDecode(source);
    if (ciphertext.size() < decryptor.GetKey().GetGroupParameters().GetEncodedElementSize(true) +
                                wycheproof::kTagSize) {
        return false;
    }
    std::string out(decryptor.MaxPlaintextLength(ciphertext.size()), '\0');
    const CryptoPP::DecodingResult result =
        decryptor.Decrypt(CryptoPP::NullRNG(), Bytes(ciphertext), ciphertext.size(),
                          reinterpret_cast<CryptoPP::byte*>(&out[0]));
    if (!result.isValidCoding) return false;
    message = out.substr(0, result.messageLength);
    return true;
}

// ExpectSameAsStock checks both decryption entry points against the stock decryptor and
// returns whether the ciphertext was accepted.
bool ExpectSameAsStock(const std::string& privateKey, const std::string& ciphertext) {
    std::string expected;
    const bool valid = StockDecrypt(privateKey, ciphertext, expected);
    std::string message = "previous";
    const Status status = EccEncryption::DecryptMessage(
        privateKey, reinterpret_cast<const unsigned char*>(ciphertext.data()), ciphertext.size(),
        message);
    if (valid) {
        EXPECT_EQ(status, Status::Ok) << EccEncryption::StatusText(status);
        EXPECT_EQ(ToHex(message), ToHex(expected));
    } else {
        EXPECT_TRUE(status == Status::AuthenticationFailed || status == Status::CiphertextTooShort)
            << EccEncryption::StatusText(status);
        EXPECT_EQ(message, "previous");
    }
    EXPECT_EQ(ToHex(EccEncryption::Decrypt(privateKey, ToHex(ciphertext))),
              valid ? ToHex(expected) : "");
    return valid;
}

std::string KeyText(const CryptoPP::ASN1Object& key) {
    std::string text;
    CryptoPP::HexEncoder encoder(new CryptoPP::StringSink(text));
    key.DEREncode(encoder);
    encoder.MessageEnd();
    return text;
}

// A key pair on any named curve, made with Crypto++ directly.
struct Keys {
    CryptoPP::DL_PrivateKey_EC<ECP> privateKey;
    CryptoPP::DL_PublicKey_EC<ECP> publicKey;
    std::string privateText, publicText;

    explicit Keys(const CryptoPP::OID& curve) {
        CryptoPP::AutoSeededRandomPool rng;
        privateKey.Initialize(rng, curve);
        privateKey.MakePublicKey(publicKey);
        privateText = KeyText(privateKey);
        publicText = KeyText(publicKey);
    }
    const Params& Group() const { return privateKey.GetGroupParameters(); }
    const ECP& Curve() const { return Group().GetCurve(); }
    std::size_t FieldBytes() const { return Curve().GetField().MaxElementByteLength(); }

    std::string Encrypt(const std::string& message) const {
        Scheme::Encryptor encryptor(publicKey);
        CryptoPP::AutoSeededRandomPool rng;
        std::string out(encryptor.CiphertextLength(message.size()), '\0');
        encryptor.Encrypt(rng, Bytes(message), message.size(),
                          reinterpret_cast<CryptoPP::byte*>(&out[0]));
        return out;
    }

    // Point encodes (x, y) uncompressed, as given: nothing reduced or checked.
    std::string Point(const Integer& x, const Integer& y) const {
        std::string point(1 + 2 * FieldBytes(), '\x04');
        x.Encode(reinterpret_cast<CryptoPP::byte*>(&point[1]), FieldBytes());
        y.Encode(reinterpret_cast<CryptoPP::byte*>(&point[1 + FieldBytes()]), FieldBytes());
        return point;
    }

    // Forge builds a ciphertext whose tag is right for a decryptor that takes |x|, |y| as given
    // and multiplies without checking: a decryptor that skips a check accepts it.
    std::string Forge(const Integer& x, const Integer& y, const std::string& message) const {
        const ECP::Point s =
            Curve().ScalarMultiply(ECP::Point(x, y), privateKey.GetPrivateExponent());
        std::string shared(FieldBytes(), '\0');
        if (!s.identity) s.x.Encode(reinterpret_cast<CryptoPP::byte*>(&shared[0]), shared.size());
        return wycheproof::Ciphertext(Point(x, y), shared, message);
    }
};

std::string RandomBytes(std::mt19937& gen, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(gen());
    return bytes;
}

TEST(DecryptFastPathTest, RandomAndTamperedCiphertextsMatchStockDecryptor) {
    const Keys keys(CryptoPP::ASN1::secp256r1());
    const Keys otherKeys(CryptoPP::ASN1::secp256r1());
    std::mt19937 gen(6);
    int accepted = 0, refused = 0;
    for (const std::size_t size : {0, 1, 15, 16, 20, 21, 64, 1000, 4099}) {
        SCOPED_TRACE("message size " + std::to_string(size));
        const std::string message = RandomBytes(gen, size);
        const std::string ciphertext = keys.Encrypt(message);
        ASSERT_TRUE(ExpectSameAsStock(keys.privateText, ciphertext));
        EXPECT_FALSE(ExpectSameAsStock(otherKeys.privateText, ciphertext));

        std::vector<std::string> tampered;
        // One flipped bit in every byte of point, masked message and tag (about every 60th when
        // long).
        for (std::size_t i = 0; i < ciphertext.size(); i += 1 + ciphertext.size() / 60) {
            std::string t = ciphertext;
            t[i] = static_cast<char>(t[i] ^ (1 << gen() % 8));
            tampered.push_back(t);
        }
        tampered.push_back(ciphertext.substr(0, ciphertext.size() - 1));
        tampered.push_back(ciphertext + '\0');
        tampered.push_back(RandomBytes(gen, ciphertext.size()));
        for (const char form : {'\x00', '\x02', '\x03', '\x06', '\x07'}) {
            std::string t = ciphertext;
            t[0] = form;
            tampered.push_back(t);
        }
        for (const std::string& t : tampered) {
            (ExpectSameAsStock(keys.privateText, t) ? accepted : refused)++;
        }
    }
    std::printf("tampered ciphertexts: %d accepted, %d refused by both\n", accepted, refused);
}

// Ephemeral points chosen to defeat a decryptor's point check, each with a tag that such a
// decryptor would accept.
TEST(DecryptFastPathTest, ForgedEphemeralPointsMatchStockDecryptor) {
    const Keys keys(CryptoPP::ASN1::secp256r1());
    const ECP& curve = keys.Curve();
    const Integer& p = curve.GetField().GetModulus();
    const ECP::Point g = keys.Group().GetSubgroupGenerator();
    const ECP::Point q = keys.publicKey.GetPublicElement();
    const std::string message = "forged ephemeral point";

    struct Forgery {
        const char* name;
        Integer x, y;
        bool valid;  // a point of the group, so the forged tag is right
    };
    std::vector<Forgery> forgeries = {
        {"generator", g.x, g.y, true},
        {"negated generator", g.x, p - g.y, true},
        {"recipient's own point", q.x, q.y, true},
        {"off the curve", g.x, g.y + 1, false},
        {"x = 0, y = 0", Integer::Zero(), Integer::Zero(), false},
    };
    // b is a square modulo p on P-256, so (0, sqrt(b)) is a point, and writing its x as p
    // gives a coordinate that is not reduced.
    ASSERT_EQ(CryptoPP::Jacobi(curve.GetB(), p), 1);
    const Integer root = CryptoPP::ModularSquareRoot(curve.GetB(), p);
    forgeries.push_back({"x = 0", Integer::Zero(), root, true});
    forgeries.push_back({"x = p", p, root, false});
    for (const Forgery& f : forgeries) {
        SCOPED_TRACE(f.name);
        ASSERT_LE(f.x.ByteCount(), keys.FieldBytes());
        ASSERT_LE(f.y.ByteCount(), keys.FieldBytes());
        EXPECT_EQ(ExpectSameAsStock(keys.privateText, keys.Forge(f.x, f.y, message)), f.valid);
    }
}

TEST(DecryptFastPathTest, WycheproofEphemeralPointsMatchStockDecryptor) {
    const std::vector<wycheproof::Case> cases = wycheproof::EphemeralPoints();
    if (cases.empty()) GTEST_SKIP() << "no ECDH vector files in " ECC_SHARED_VECTORS_DIR;
    const Params p256(CryptoPP::ASN1::secp256r1());
    int accepted = 0, refused = 0;
    for (const wycheproof::Case& c : cases) {
        SCOPED_TRACE(c.Trace());
        const std::string privateKey = wycheproof::PrivateKeyText(c.privateHex);
        const std::string message = "message " + std::to_string(c.id) + std::string(c.id % 50, 'w');
        const std::string& point = c.publicKey;
        std::string shared = c.shared;
        if (shared.empty() && point.size() == wycheproof::kPointSize && point[0] == 0x04) {
            // No ECDH result: forge the tag as a decryptor that skips the point check would.
            const std::string d = FromHex(c.privateHex);
            const ECP::Point s = p256.GetCurve().ScalarMultiply(
                ECP::Point(Integer(Bytes(point) + 1, 32), Integer(Bytes(point) + 33, 32)),
                Integer(Bytes(d), d.size()));
            shared.assign(32, '\0');
            if (!s.identity) s.x.Encode(reinterpret_cast<CryptoPP::byte*>(&shared[0]), 32);
        }
        const bool ok =
            ExpectSameAsStock(privateKey, wycheproof::Ciphertext(point, shared, message));
        if (c.result == "valid" && point.size() == wycheproof::kPointSize && point[0] == 0x04) {
            EXPECT_TRUE(ok);
        }
        (ok ? accepted : refused)++;
    }
    std::printf("wycheproof ephemeral points: %d accepted, %d refused by both\n", accepted,
                refused);
}

// Private values with many leading zero bytes, or with few bits set, are read and blinded like
// any other: the library must decrypt with them exactly as the stock decryptor does.
TEST(DecryptFastPathTest, ShortAndSparsePrivateValuesMatchStockDecryptor) {
    const Params p256(CryptoPP::ASN1::secp256r1());
    const Integer& n = p256.GetSubgroupOrder();
    for (const Integer& d :
         {Integer::One(), Integer(2), Integer::Power2(128) + 1, Integer::Power2(255) + 1, n - 1}) {
        SCOPED_TRACE(IntToString(d, 16));
        CryptoPP::DL_PrivateKey_EC<ECP> privateKey;
        privateKey.Initialize(p256, d);
        CryptoPP::DL_PublicKey_EC<ECP> publicKey;
        privateKey.MakePublicKey(publicKey);
        Scheme::Encryptor encryptor(publicKey);
        CryptoPP::AutoSeededRandomPool rng;
        const std::string message = "private value " + IntToString(d, 16);
        std::string ciphertext(encryptor.CiphertextLength(message.size()), '\0');
        encryptor.Encrypt(rng, Bytes(message), message.size(),
                          reinterpret_cast<CryptoPP::byte*>(&ciphertext[0]));
        EXPECT_TRUE(ExpectSameAsStock(KeyText(privateKey), ciphertext));
    }
}

// secp128r2 has cofactor 4: the stock path must still refuse a point outside the subgroup.
TEST(DecryptFastPathTest, CofactorAboveOneKeepsSubgroupCheck) {
    const Keys keys(CryptoPP::ASN1::secp128r2());
    ASSERT_EQ(keys.Group().GetCofactor(), 4);
    std::mt19937 gen(4);
    const std::string message = "cofactor four";
    ASSERT_TRUE(ExpectSameAsStock(keys.privateText, keys.Encrypt(message)));

    int outside = 0;
    for (int attempt = 0; attempt < 64 && outside < 4; ++attempt) {
        std::string compressed = '\x02' + RandomBytes(gen, keys.FieldBytes());
        ECP::Point point;
        if (!keys.Curve().DecodePoint(point, Bytes(compressed), compressed.size())) continue;
        const bool inSubgroup =
            keys.Curve().ScalarMultiply(point, keys.Group().GetSubgroupOrder()).identity;
        SCOPED_TRACE(inSubgroup ? "point in the subgroup" : "point outside the subgroup");
        EXPECT_EQ(ExpectSameAsStock(keys.privateText, keys.Forge(point.x, point.y, message)),
                  inSubgroup);
        outside += inSubgroup ? 0 : 1;
    }
    EXPECT_EQ(outside, 4) << "too few points outside the subgroup were found";
}

// Encryption builds its ciphertext in its output buffer without the stock encryptor: the stock
// decryptor must read it, on curves of every point size.
TEST(DecryptFastPathTest, EncryptionDecryptsWithStockDecryptor) {
    std::mt19937 gen(7);
    for (const CryptoPP::OID& curve : {CryptoPP::ASN1::secp256r1(), CryptoPP::ASN1::secp112r1(),
                                       CryptoPP::ASN1::secp128r2(), CryptoPP::ASN1::secp521r1()}) {
        const Keys keys(curve);
        const std::size_t pointSize = keys.Group().GetEncodedElementSize(true);
        SCOPED_TRACE("point size " + std::to_string(pointSize));
        for (const std::size_t size : {0, 1, 16, 17, 100, 4099}) {
            SCOPED_TRACE("message size " + std::to_string(size));
            const std::string message = RandomBytes(gen, size);
            std::string ciphertext;
            ASSERT_EQ(EccEncryption::Encrypt(keys.publicText, message, ciphertext),
                      pointSize + size + wycheproof::kTagSize);
            std::string decrypted;
            ASSERT_TRUE(StockDecrypt(keys.privateText, ciphertext, decrypted));
            EXPECT_EQ(ToHex(decrypted), ToHex(message));
            EXPECT_TRUE(ExpectSameAsStock(keys.privateText, ciphertext));
        }
    }
}

}  // namespace
