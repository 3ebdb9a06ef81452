// Round trip through the installed headers and library only.
#include <eccencryption/EccEncryption.h>
#include <eccencryption/ZelString.h>

#include <cstdio>
#include <string>
#include <vector>

int main() {
    std::string privateKey, publicKey, ciphertext;
    EccEncryption::GenerateEccKeys(32, privateKey, publicKey);
    if (EccEncryption::Encrypt(publicKey, "consumer", ciphertext) == 0) return 1;

    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const unsigned char b : ciphertext) {
        text += kHex[b >> 4];
        text += kHex[b & 0x0f];
    }
    std::vector<unsigned char> bytes(ciphertext.size());
    ZEL::String::Hex2Bin(text, bytes.data(), bytes.size());
    if (std::string(bytes.begin(), bytes.end()) != ciphertext) return 1;

    const std::string message = EccEncryption::Decrypt(privateKey, text);
    std::printf("consumer: %s\n", message.c_str());
    return message == "consumer" ? 0 : 1;
}
