// The baseline: each operation's bare Crypto++ work done the plain way (key text through
// HexDecoder and BERDecode, the stock ECIES<ECP> encryptor or decryptor, AutoSeededRandomPool).
// The benchmarks and the instruction-count driver measure the library against these.
#ifndef ECCENCRYPTION_BENCH_BASELINE_H
#define ECCENCRYPTION_BENCH_BASELINE_H

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>

#include <string>

namespace baseline {

using Scheme = CryptoPP::ECIES<CryptoPP::ECP>;

template <typename Key>
void LoadKey(const std::string& text, Key& key) {
    CryptoPP::StringSource source(text, true, new CryptoPP::HexDecoder);
    key.BERDecode(source);
}

inline std::string KeyText(const CryptoPP::ASN1Object& key) {
    std::string text;
    CryptoPP::HexEncoder encoder(new CryptoPP::StringSink(text));
    key.DEREncode(encoder);
    encoder.MessageEnd();
    return text;
}

inline void GenerateKeys(unsigned int seedBytes, std::string& privateKey, std::string& publicKey) {
    CryptoPP::AutoSeededRandomPool rng(true, seedBytes);
    CryptoPP::DL_PrivateKey_EC<CryptoPP::ECP> privKey;
    privKey.Initialize(rng, CryptoPP::ASN1::secp256r1());
    CryptoPP::DL_PublicKey_EC<CryptoPP::ECP> pubKey;
    privKey.MakePublicKey(pubKey);
    publicKey = KeyText(pubKey);
    privateKey = KeyText(privKey);
}

inline void Encrypt(const std::string& publicKey, const std::string& message, std::string& out) {
    Scheme::Encryptor encryptor;
    LoadKey(publicKey, encryptor.AccessKey());
    CryptoPP::AutoSeededRandomPool rng;
    std::string ciphertext(encryptor.CiphertextLength(message.size()), '\0');
    encryptor.Encrypt(rng, reinterpret_cast<const CryptoPP::byte*>(message.data()), message.size(),
                      reinterpret_cast<CryptoPP::byte*>(&ciphertext[0]));
    out = std::move(ciphertext);
}

// DecryptBytes decrypts raw ciphertext bytes; false when they fail authentication.
inline bool DecryptBytes(const std::string& privateKey, const std::string& ciphertext,
                         std::string& message) {
    Scheme::Decryptor decryptor;
    LoadKey(privateKey, decryptor.AccessKey());
    CryptoPP::AutoSeededRandomPool rng;
    std::string out(decryptor.MaxPlaintextLength(ciphertext.size()), '\0');
    const CryptoPP::DecodingResult result =
        decryptor.Decrypt(rng, reinterpret_cast<const CryptoPP::byte*>(ciphertext.data()),
                          ciphertext.size(), reinterpret_cast<CryptoPP::byte*>(&out[0]));
    if (!result.isValidCoding) return false;
    message = std::move(out);
    return true;
}

// Decrypt reads the ciphertext text with HexDecoder, the plain Crypto++ way, then decrypts.
inline bool Decrypt(const std::string& privateKey, const std::string& ciphertextText,
                    std::string& message) {
    std::string ciphertext;
    CryptoPP::StringSource(ciphertextText, true,
                           new CryptoPP::HexDecoder(new CryptoPP::StringSink(ciphertext)));
    return DecryptBytes(privateKey, ciphertext, message);
}

// ToHex writes bytes as upper-case hex: the ciphertext text of the inputs, made before the
// timed loops of both the library and the baseline.
inline std::string ToHex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(bytes.size() * 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[2 * i] = kDigits[b >> 4];
        text[2 * i + 1] = kDigits[b & 0x0f];
    }
    return text;
}

}  // namespace baseline

#endif  // ECCENCRYPTION_BENCH_BASELINE_H
