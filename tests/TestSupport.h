// Helpers shared by the native test suites.
#ifndef ECCENCRYPTION_TESTS_TESTSUPPORT_H
#define ECCENCRYPTION_TESTS_TESTSUPPORT_H

#include <string>

namespace testsupport {

inline std::string ToHex(const std::string& bytes, bool upper = true) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0f];
    }
    return text;
}

inline std::string FromHex(const std::string& text) {
    auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string bytes(text.size() / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
    }
    return bytes;
}

}  // namespace testsupport

#endif  // ECCENCRYPTION_TESTS_TESTSUPPORT_H
