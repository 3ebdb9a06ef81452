// A fixed valid ciphertext text, mutated. Decrypt with the matching private key must give the
// original message exactly when the mutation left the ciphertext bytes as they were (letter
// case, a non-digit in place of a 0, a trailing odd character), and "" for every other text:
// never other bytes, never the message from a ciphertext that differs in any byte.
#include <eccencryption/EccEncryption.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

// The ciphertext bytes a text stands for: one per full pair, a non-digit counting as 0, and
// nothing converted from the first zero character on (those bytes stay 0).
std::vector<unsigned char> BytesOf(const std::string& text) {
    std::vector<unsigned char> bytes(text.size() / 2, 0);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char high = text[2 * i], low = text[2 * i + 1];
        if (high == '\0' || low == '\0') break;
        const int h = fuzz::HexDigit(static_cast<unsigned char>(high));
        const int l = fuzz::HexDigit(static_cast<unsigned char>(low));
        bytes[i] = static_cast<unsigned char>((h < 0 ? 0 : h) << 4 | (l < 0 ? 0 : l));
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::vector<unsigned char> original = BytesOf(fuzz::kCiphertextText);
    const std::string text(reinterpret_cast<const char*>(bytes), size);

    const std::string message = EccEncryption::Decrypt(fuzz::kPrivateKey, text);
    if (BytesOf(text) == original) {
        FUZZ_CHECK(message == fuzz::kMessage);
    } else {
        FUZZ_CHECK(message.empty());
    }
    return 0;
}
