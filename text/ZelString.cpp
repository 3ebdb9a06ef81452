#include <eccencryption/ZelString.h>

#include <cstring>
#include <cwchar>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// Sixteen bytes at a time (every x86-64 processor has SSE2). The text's length is known before
// these run, so they never read past the text.

// DigitValues maps 16 narrow characters to their digit values, 0 for anything that is not a
// hex digit: the table above, computed with comparisons.
inline __m128i DigitValues(__m128i c) {
    const __m128i decimal = _mm_sub_epi8(c, _mm_set1_epi8('0'));
    const __m128i isDecimal = _mm_cmpeq_epi8(_mm_min_epu8(decimal, _mm_set1_epi8(9)), decimal);
    // Setting bit 5 maps A-F onto a-f and nothing else onto a-f.
    const __m128i letter = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    return _mm_or_si128(_mm_and_si128(isDecimal, decimal),
                        _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
}

// PairBytes joins the digit values of 16 characters, pairwise, into 8 bytes, one in the low
// half of each 16-bit lane: the first of a pair (the lane's low byte) gives the high nibble.
inline __m128i PairBytes(__m128i values) {
    const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0x00ff)), 4);
    return _mm_or_si128(high, _mm_srli_epi16(values, 8));
}

// Converts 32 narrow characters into 16 bytes.
inline void Convert32(const char* text, unsigned char* dest) {
    const __m128i a =
        PairBytes(DigitValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text))));
    const __m128i b =
        PairBytes(DigitValues(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_packus_epi16(a, b));
}

inline __m128i Load4(const wchar_t* text) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
}

// Narrows 16 wide code units of 32 bits to 16 narrow characters. The saturating packs turn every
// unit above 255 into 255 and every negative one into 0; neither is a digit, as the units are not.
inline __m128i Narrow16(const wchar_t* text) {
    const __m128i a = _mm_packs_epi32(Load4(text), Load4(text + 4));
    const __m128i b = _mm_packs_epi32(Load4(text + 8), Load4(text + 12));
    return _mm_packus_epi16(a, b);
}

// Converts 32 wide characters into 16 bytes.
inline void Convert32(const wchar_t* text, unsigned char* dest) {
    const __m128i a = PairBytes(DigitValues(Narrow16(text)));
    const __m128i b = PairBytes(DigitValues(Narrow16(text + 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest), _mm_packus_epi16(a, b));
}

// Converts whole blocks of 32 characters; returns how many bytes it wrote. Wide text is done
// block-wise where its code units are 32 bits wide, as on Linux.
template <typename Char>
std::size_t ConvertBlocks(const Char* text, unsigned char* dest, std::size_t pairs) {
    std::size_t done = 0;
    if constexpr (sizeof(Char) == 1 || sizeof(Char) == 4) {
        for (; done + 16 <= pairs; done += 16) Convert32(text + 2 * done, dest + done);
    }
    return done;
}
#else
template <typename Char>
std::size_t ConvertBlocks(const Char*, unsigned char*, std::size_t) {
    return 0;
}
#endif

}  // namespace

int String::char2int(char c) noexcept {
    return kDigits.value[static_cast<unsigned char>(c)];
}

int String::wchar2int(wchar_t c) noexcept {
    // Compare the code unit as unsigned, so no negative or wide value can index the table.
    const auto unit = static_cast<std::make_unsigned_t<wchar_t>>(c);
    return unit < 256 ? kDigits.value[unit] : 0;
}

// The length is found first (bounded by the limit, so text past it is never read) with the C
// library's vectorised search; then every full pair is converted, in blocks while they last.
void String::Hex2Bin(const char* text, unsigned char* dest, std::uint64_t limit) noexcept {
    if (text == nullptr || dest == nullptr) return;
    const std::size_t pairs = strnlen(text, MaxChars(limit)) / 2;
    for (std::size_t i = ConvertBlocks(text, dest, pairs); i < pairs; ++i) {
        dest[i] =
            static_cast<unsigned char>(char2int(text[2 * i]) << 4 | char2int(text[2 * i + 1]));
    }
}

void String::Hex2Bin(const wchar_t* text, unsigned char* dest, std::uint64_t limit) noexcept {
    if (text == nullptr || dest == nullptr) return;
    const std::size_t pairs = wcsnlen(text, MaxChars(limit)) / 2;
    for (std::size_t i = ConvertBlocks(text, dest, pairs); i < pairs; ++i) {
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
