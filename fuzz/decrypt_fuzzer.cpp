// Decrypt with any private-key text and any ciphertext text. It must return (never throw or
// crash), and a non-empty result must be what DecryptMessage gives for the bytes the text
// converts to, a message that is shorter than those bytes by a whole point and tag.
//
// Input: the key text, a backslash and one more character, then the ciphertext text.
#include <eccencryption/EccEncryption.h>
#include <eccencryption/ZelString.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string keyText = data.ConsumeRandomLengthString(1024);
    const std::string ciphertextText = data.ConsumeRemainingBytesAsString();

    const std::string message = EccEncryption::Decrypt(keyText, ciphertextText);
    if (message.empty()) return 0;

    std::vector<unsigned char> raw(ciphertextText.size() / 2);
    ZEL::String::Hex2Bin(ciphertextText, raw.data(), raw.size());
    std::string again;
    FUZZ_CHECK(EccEncryption::DecryptMessage(keyText, raw.data(), raw.size(), again) ==
               EccEncryption::Status::Ok);
    FUZZ_CHECK(again == message);
    // The smallest curve Crypto++ names has 112-bit coordinates: a point of at least 29 bytes.
    FUZZ_CHECK(message.size() + 29 + fuzz::kTagSize <= raw.size());
    return 0;
}
