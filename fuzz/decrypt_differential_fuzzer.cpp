// Decryption against Crypto++'s stock ECIES decryptor. The first input byte picks how the rest
// becomes a ciphertext for the fixed private key:
//   0  the bytes as they are
//   1  a valid ephemeral point k*G (k from the next 32 bytes), then a message, with the right tag
//   2  a point made of the next 64 bytes as x and y, unchecked, then a message, with the tag
//      that a decryptor which multiplies without checking the point would accept
// The library must accept exactly the ciphertexts the stock decryptor accepts, with the same
// message, through both of its decryption entry points.
#include <eccencryption/EccEncryption.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/hmac.h>
#include <cryptopp/sha.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"

namespace {

using CryptoPP::byte;
using CryptoPP::ECP;
using CryptoPP::Integer;

struct Stock {
    CryptoPP::ECIES<ECP>::Decryptor decryptor;
    Stock() {
        CryptoPP::StringSource source(fuzz::kPrivateKey, true, new CryptoPP::HexDecoder);
        decryptor.AccessKey().BERDecode(source);
    }
    const ECP& Curve() const { return decryptor.GetKey().GetGroupParameters().GetCurve(); }

    bool Decrypt(const std::string& ciphertext, std::string& message) const {
        if (ciphertext.size() < fuzz::kPointSize + fuzz::kTagSize) return false;
        std::string out(decryptor.MaxPlaintextLength(ciphertext.size()), '\0');
        const CryptoPP::DecodingResult result =
            decryptor.Decrypt(CryptoPP::NullRNG(), reinterpret_cast<const byte*>(ciphertext.data()),
                              ciphertext.size(), reinterpret_cast<byte*>(&out[0]));
        if (!result.isValidCoding) return false;
        message = out.substr(0, result.messageLength);
        return true;
    }
};

const Stock& StockDecryptor() {
    static const Stock stock;
    return stock;
}

std::string Encode(const Integer& x, const Integer& y) {
    std::string point(fuzz::kPointSize, '\x04');
    x.Encode(reinterpret_cast<byte*>(&point[1]), 32);
    y.Encode(reinterpret_cast<byte*>(&point[33]), 32);
    return point;
}

// Forge: point || masked message || tag, with the key material that the shared point
// d*(x, y) gives, computed without any check of (x, y).
std::string Forge(const Integer& x, const Integer& y, const std::string& message) {
    const Stock& stock = StockDecryptor();
    const ECP::Point s = stock.Curve().ScalarMultiply(
        ECP::Point(x, y), stock.decryptor.GetKey().GetPrivateExponent());
    const std::string point = Encode(x, y);
    std::string z = point + std::string(32, '\0');
    if (!s.identity) s.x.Encode(reinterpret_cast<byte*>(&z[fuzz::kPointSize]), 32);

    CryptoPP::SecByteBlock k(16 + message.size());
    CryptoPP::P1363_KDF2<CryptoPP::SHA1>::DeriveKey(
        k.data(), k.size(), reinterpret_cast<const byte*>(z.data()), z.size(), nullptr, 0);
    std::string masked = message;
    for (std::size_t i = 0; i < masked.size(); ++i)
        masked[i] = static_cast<char>(masked[i] ^ k[16 + i]);
    CryptoPP::HMAC<CryptoPP::SHA1> mac(k.data(), 16);
    mac.Update(reinterpret_cast<const byte*>(masked.data()), masked.size());
    const byte lengthBlock[8] = {};
    mac.Update(lengthBlock, sizeof lengthBlock);
    std::string tag(fuzz::kTagSize, '\0');
    mac.Final(reinterpret_cast<byte*>(&tag[0]));
    return point + masked + tag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto* restBytes = reinterpret_cast<const byte*>(rest.data());
    std::string ciphertext;
    switch (data[0] % 3) {
        case 0:
            ciphertext = rest;
            break;
        case 1: {
            if (rest.size() < 32) return 0;
            const Integer k(restBytes, 32);
            const auto& params = StockDecryptor().decryptor.GetKey().GetGroupParameters();
            if (k.IsZero() || k >= params.GetSubgroupOrder()) return 0;
            const ECP::Point q = params.ExponentiateBase(k);
            ciphertext = Forge(q.x, q.y, rest.substr(32));
            break;
        }
        default:
            if (rest.size() < 64) return 0;
            ciphertext =
                Forge(Integer(restBytes, 32), Integer(restBytes + 32, 32), rest.substr(64));
            break;
    }

    std::string expected;
    const bool valid = StockDecryptor().Decrypt(ciphertext, expected);
    if (data[0] % 3 == 1) FUZZ_CHECK(valid);

    std::string message = "previous";
    const EccEncryption::Status status = EccEncryption::DecryptMessage(
        fuzz::kPrivateKey, reinterpret_cast<const unsigned char*>(ciphertext.data()),
        ciphertext.size(), message);
    FUZZ_CHECK((status == EccEncryption::Status::Ok) == valid);
    FUZZ_CHECK(valid ? message == expected : message == "previous");
    FUZZ_CHECK(EccEncryption::Decrypt(fuzz::kPrivateKey, fuzz::ToHex(ciphertext)) ==
               (valid ? expected : std::string()));
    return 0;
}
