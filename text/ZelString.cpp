#include <eccencryption/ZelString.h>

#include <cstring>
#include <cwchar>
#include <limits>
#include <type_traits>

namespace ZEL {
namespace {

// Digit values of the 256 narrow code values: the 22 hex digits, and 0 for everything else.
struct DigitTable {
    unsigned char value[256] = {};
    constexpr DigitTable() {
        for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<unsigned char>(c - '0');
        for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<unsigned char>(c - 'A' + 10);
        for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<unsigned char>(c - 'a' + 10);
    }
};
constexpr DigitTable kDigits;

// Most characters to read for |limit| bytes, saturating instead of wrapping.
std::size_t MaxChars(std::uint64_t limit) {
    constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
    return limit > kMax / 2 ? kMax : static_cast<std::size_t>(limit) * 2;
}

}  // namespace

int String::char2int(char c) noexcept {
    return kDigits.value[static_cast<unsigned char>(c)];
}

int String::wchar2int(wchar_t c) noexcept {
    // Compare the code unit as unsigned, so no negative or wide value can index the table.
    const auto unit = static_cast<std::make_unsigned_t<wchar_t>>(c);
    return unit < 256 ? kDigits.value[unit] : 0;
}

// The length is found first (bounded by the limit, so text past it is never read), then
// every full pair is converted: no per-character test for the terminator in the hot loop.
void String::Hex2Bin(const char* text, unsigned char* dest, std::uint64_t limit) noexcept {
    if (text == nullptr || dest == nullptr) return;
    const std::size_t pairs = strnlen(text, MaxChars(limit)) / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        dest[i] =
            static_cast<unsigned char>(char2int(text[2 * i]) << 4 | char2int(text[2 * i + 1]));
    }
}

void String::Hex2Bin(const wchar_t* text, unsigned char* dest, std::uint64_t limit) noexcept {
    if (text == nullptr || dest == nullptr) return;
    const std::size_t pairs = wcsnlen(text, MaxChars(limit)) / 2;
    for (std::size_t i = 0; i < pairs; ++i) {
        dest[i] =
            static_cast<unsigned char>(wchar2int(text[2 * i]) << 4 | wchar2int(text[2 * i + 1]));
    }
}

void String::Hex2Bin(const std::string& text, unsigned char* dest, std::uint64_t limit) noexcept {
    Hex2Bin(text.c_str(), dest, limit);
}

void String::Hex2Bin(const std::wstring& text, unsigned char* dest, std::uint64_t limit) noexcept {
    Hex2Bin(text.c_str(), dest, limit);
}

String& String::operator=(const String&) {
    return *this;
}
String& String::operator=(String&&) {
    return *this;
}

}  // namespace ZEL
