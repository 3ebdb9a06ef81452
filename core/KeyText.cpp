#include "KeyText.h"

#include <cryptopp/filters.h>
#include <cryptopp/secblock.h>

#include <cstdint>
#include <cstring>

namespace eccencryption {
namespace {

using CryptoPP::byte;

// Lenient hex decoding of a key text: digits of either case, every other character skipped,
// a final unpaired digit dropped. The bytes go into a block that is wiped when released,
// since a private-key text decodes to the private value.
class DerBytes {
  public:
    explicit DerBytes(const std::string& text) : bytes_(text.size() / 2) {
        int high = -1;
        for (const char c : text) {
            const int digit = HexDigit(c);
            if (digit < 0) continue;
            if (high < 0) {
                high = digit;
            } else {
                bytes_[size_++] = static_cast<byte>(high << 4 | digit);
                high = -1;
            }
        }
    }
    const byte* data() const { return bytes_.data(); }
    byte* data() { return bytes_.data(); }
    std::size_t size() const { return size_; }

  private:
    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }
    CryptoPP::SecByteBlock bytes_;
    std::size_t size_ = 0;
};

// A minimal reader of DER elements with definite lengths, enough to find where a key's curve
// parameters stand without decoding them.
class DerReader {
  public:
    DerReader(const byte* data, std::size_t size) : p_(data), n_(size) {}

    bool AtEnd() const { return n_ == 0; }

    // Next reads one element; false when the input is malformed or |tag| does not match.
    bool Next(byte tag, DerReader* content = nullptr) {
        if (n_ < 2 || p_[0] != tag) return false;
        std::size_t length = p_[1];
        std::size_t header = 2;
        if (length >= 0x80) {
            const std::size_t count = length & 0x7f;
            if (count == 0 || count > sizeof(std::uint32_t) || n_ < 2 + count) return false;
            length = 0;
            for (std::size_t i = 0; i < count; ++i) length = length << 8 | p_[2 + i];
            header += count;
        }
        if (length > n_ - header) return false;
        if (content != nullptr) *content = DerReader(p_ + header, length);
        p_ += header + length;
        n_ -= header + length;
        return true;
    }

    bool Peek(byte tag) const { return n_ > 0 && p_[0] == tag; }
    const byte* data() const { return p_; }
    std::size_t size() const { return n_; }

  private:
    const byte* p_;
    std::size_t n_;
};

constexpr byte kSequence = 0x30;
constexpr byte kInteger = 0x02;
constexpr byte kOctetString = 0x04;
constexpr byte kOid = 0x06;
constexpr byte kExplicitParameters = 0xA0;  // [0] in an ECPrivateKey

// An AlgorithmIdentifier whose parameters are a curve OID, not explicit domain parameters.
// Crafted explicit parameters can make Crypto++'s decoder loop forever, so they are refused
// before it runs; no standard key uses them.
bool NamedCurveAlgorithm(DerReader& outer) {
    DerReader algorithm(nullptr, 0);
    return outer.Next(kSequence, &algorithm) && algorithm.Next(kOid) && algorithm.Peek(kOid);
}

bool PublicKeyHasNamedCurve(const DerBytes& der) {
    DerReader top(der.data(), der.size()), info(nullptr, 0);
    return top.Next(kSequence, &info) && top.AtEnd() && NamedCurveAlgorithm(info);
}

// PrivateKeyHasNamedCurve also sets |value| to the octets of the private value.
bool PrivateKeyHasNamedCurve(const DerBytes& der, DerReader& value) {
    DerReader top(der.data(), der.size()), info(nullptr, 0), octets(nullptr, 0), ecKey(nullptr, 0);
    if (!top.Next(kSequence, &info) || !top.AtEnd() || !info.Next(kInteger) ||
        !NamedCurveAlgorithm(info) || !info.Next(kOctetString, &octets) ||
        !octets.Next(kSequence, &ecKey) || !ecKey.Next(kInteger) ||
        !ecKey.Next(kOctetString, &value)) {
        return false;
    }
    // The ECPrivateKey may repeat the curve; it must be named there too.
    DerReader inner(nullptr, 0);
    return !ecKey.Peek(kExplicitParameters) ||
           (ecKey.Next(kExplicitParameters, &inner) && inner.Peek(kOid));
}

// Decode runs Crypto++'s decoder over DER bytes that passed the structural check, and fixes
// the encodings that the key's texts and ciphertexts use: curve by OID, points uncompressed.
template <typename Key>
bool Decode(const DerBytes& der, Key& key) {
    try {
        CryptoPP::ArraySource source(der.data(), der.size(), true);
        key.BERDecode(source);
    } catch (const CryptoPP::Exception&) {
        return false;
    }
    key.AccessGroupParameters().SetPointCompression(false);
    key.AccessGroupParameters().SetEncodeAsOID(true);
    return true;
}

}  // namespace

bool LoadPublicKey(const std::string& text, PublicKey& key) {
    const DerBytes der(text);
    if (!PublicKeyHasNamedCurve(der) || !Decode(der, key)) return false;
    const auto& params = key.GetGroupParameters();
    // Level 1: on the curve, coordinates reduced, not the identity. With a cofactor above 1
    // level 2 also proves membership of the prime-order subgroup.
    const unsigned level = params.GetCofactor() == 1 ? 1 : 2;
    return params.ValidateElement(level, key.GetPublicElement(), nullptr);
}

// Crypto++ reads an integer byte by byte and skips its leading zero bytes one at a time, so
// the time it takes to read the private value tells how many leading zero bytes it has (for a
// short private value, a difference that the timing program in bench/ sees). The private value
// is therefore read here instead, as the value 2^(8m) + d of m + 1 bytes whose first byte is 1,
// so that the reader never meets a leading zero, and 2^(8m) is subtracted afterwards; Crypto++'s
// decoder sees the key with its private octets all set to 1.
bool LoadPrivateKey(const std::string& text, PrivateKey& key) {
    DerBytes der(text);
    DerReader value(nullptr, 0);
    if (!PrivateKeyHasNamedCurve(der, value)) return false;
    const std::size_t size = value.size();
    CryptoPP::SecByteBlock offsetValue(size + 1);
    offsetValue[0] = 1;
    std::memcpy(offsetValue.data() + 1, value.data(), size);
    std::memset(der.data() + (value.data() - der.data()), 1, size);
    if (!Decode(der, key)) return false;
    CryptoPP::Integer d(offsetValue.data(), offsetValue.size());
    d -= CryptoPP::Integer::Power2(8 * size);
    key.SetPrivateExponent(d);
    // A value of 0 would crash Crypto++'s scalar multiplication; values from n on are not keys.
    return d.IsPositive() && d < key.GetGroupParameters().GetSubgroupOrder();
}

std::string KeyText(const CryptoPP::ASN1Object& key) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    CryptoPP::ByteQueue der;
    key.DEREncode(der);
    CryptoPP::SecByteBlock bytes(static_cast<std::size_t>(der.MaxRetrievable()));
    der.Get(bytes.data(), bytes.size());
    std::string text(bytes.size() * 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = kHex[bytes[i] >> 4];
        text[2 * i + 1] = kHex[bytes[i] & 0x0f];
    }
    return text;
}

}  // namespace eccencryption
