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
    // As in the library's lenient conversion, a character that is not a hex digit counts as 0.
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
        return 0;
    };
    std::string bytes(text.size() / 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
    }
    return bytes;
}

}  // namespace testsupport

#endif  // ECCENCRYPTION_TESTS_TESTSUPPORT_H
