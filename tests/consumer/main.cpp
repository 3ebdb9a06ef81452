// Round trip through the installed headers and library only.
#include <eccencryption/EccEncryption.h>
#include <eccencryption/EccStream.h>
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
    if (message != "consumer") return 1;

    // The same ciphertext through the streaming decryptor, in place.
    EccEncryption::StreamDecryptor decryptor;
    if (decryptor.SetKey(privateKey) != EccEncryption::Status::Ok) return 1;
    const std::size_t point = decryptor.PointSize(), size = bytes.size() - point - 20;
    if (decryptor.Start(bytes.data(), point) != EccEncryption::Status::Ok ||
        decryptor.Update(bytes.data() + point, size, bytes.data() + point) !=
            EccEncryption::Status::Ok ||
        decryptor.Finish(bytes.data() + point + size, 20) != EccEncryption::Status::Ok) {
        return 1;
    }
    return std::string(bytes.begin() + point, bytes.begin() + point + size) == message ? 0 : 1;
}
