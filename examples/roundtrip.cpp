// Makes a key pair, encrypts a message for the public key, writes the ciphertext as hex text
// and decrypts that text with the private key.
#include <eccencryption/EccEncryption.h>

#include <cstdio>
#include <string>

namespace {

std::string ToHex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 0x0f];
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string message = argc > 1 ? argv[1] : "Attack at dawn.";

    std::string privateKey, publicKey;
    EccEncryption::GenerateEccKeys(32, privateKey, publicKey);
    if (privateKey.empty()) {
        std::fprintf(stderr, "roundtrip: key generation failed\n");
        return 1;
    }
    std::printf("public key  (%zu chars): %s\n", publicKey.size(), publicKey.c_str());
    std::printf("private key (%zu chars): %s\n", privateKey.size(), privateKey.c_str());

    std::string ciphertext;
    const unsigned int count = EccEncryption::Encrypt(publicKey, message, ciphertext);
    if (count == 0) {
        std::fprintf(stderr, "roundtrip: encryption failed\n");
        return 1;
    }
    const std::string ciphertextText = ToHex(ciphertext);
    std::printf("ciphertext  (%u bytes): %s\n", count, ciphertextText.c_str());

    std::string decrypted;
    const auto status = EccEncryption::DecryptMessage(
        privateKey, reinterpret_cast<const unsigned char*>(ciphertext.data()), ciphertext.size(),
        decrypted);
    if (status != EccEncryption::Status::Ok ||
        EccEncryption::Decrypt(privateKey, ciphertextText) != decrypted) {
        std::fprintf(stderr, "roundtrip: decryption failed: %s\n",
                     EccEncryption::StatusText(status));
        return 1;
    }
    std::printf("decrypted   (%zu bytes): %s\n", decrypted.size(), decrypted.c_str());
    return decrypted == message ? 0 : 1;
}
