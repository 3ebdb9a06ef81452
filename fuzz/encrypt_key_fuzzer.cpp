// Encrypt with any public-key text. It must either return 0 and leave the output as it was, or
// return the size of a ciphertext of the message's length plus a point and a tag. When the text
// decodes to the fixed public key, encryption must succeed and the fixed private key must
// decrypt the ciphertext to the message.
//
// Input: the key text, a backslash and one more character, then the message.
#include <eccencryption/EccEncryption.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/filters.h>
#include <cryptopp/hex.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"

namespace {

// The DER bytes of a key text, decoded by Crypto++'s lenient hex decoder, which skips
// non-digits as the library does.
std::string DerOf(const std::string& text) {
    std::string der;
    CryptoPP::StringSource(text, true, new CryptoPP::HexDecoder(new CryptoPP::StringSink(der)));
    return der;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::string fixedDer = DerOf(fuzz::kPublicKey);
    FuzzedDataProvider data(bytes, size);
    const std::string keyText = data.ConsumeRandomLengthString(1024);
    const std::string message = data.ConsumeRemainingBytesAsString();

    const std::string before = "output before the call";
    std::string ciphertext = before;
    const unsigned int count = EccEncryption::Encrypt(keyText, message, ciphertext);
    const bool isFixedKey = DerOf(keyText) == fixedDer;

    if (count == 0) {
        FUZZ_CHECK(ciphertext == before);
        FUZZ_CHECK(!isFixedKey);
        return 0;
    }
    FUZZ_CHECK(count == ciphertext.size());
    // Uncompressed point: 04, then two coordinates of the same length.
    FUZZ_CHECK(count >= message.size() + fuzz::kTagSize + 1);
    FUZZ_CHECK(static_cast<unsigned char>(ciphertext[0]) == 0x04);
    FUZZ_CHECK((count - message.size() - fuzz::kTagSize - 1) % 2 == 0);
    if (isFixedKey) {
        FUZZ_CHECK(count == message.size() + fuzz::kPointSize + fuzz::kTagSize);
        FUZZ_CHECK(EccEncryption::Decrypt(fuzz::kPrivateKey, fuzz::ToHex(ciphertext)) == message);
    }
    return 0;
}
