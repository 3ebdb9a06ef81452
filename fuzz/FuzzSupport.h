// Shared pieces of the fuzz targets: a fixed key pair with one ciphertext made for it, and the
// check that turns a broken property into a crash libFuzzer reports with its input.
#ifndef ECCENCRYPTION_FUZZ_FUZZSUPPORT_H
#define ECCENCRYPTION_FUZZ_FUZZSUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// A P-256 key pair made once by the library, and the ciphertext text of kMessage for it. Fixed,
// so that every run and every reproducer sees the same inputs.
inline const std::string kPublicKey =
    "3059301306072A8648CE3D020106082A8648CE3D03010703420004295C479A7B5043679F53CB71918D07C2"
    "0904BA78DA244DCAE36DFFBD9B529C2748B922F5AA9FB64AB152AF5FB0C848CAAD6D259C931E150A1D8B3A"
    "5D556E5AC3";
inline const std::string kPrivateKey =
    "3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420FEA90B12735E51A4"
    "4A538B11AEA3D86161594CD15CAA2412A9DAE02BB9E23762";
inline const std::string kMessage = "fuzzing seed message";
inline const std::string kCiphertextText =
    "04B5ED75DF6E306478C697E7675BC9EEDB09F276FE0CA9B7B71C3FD209CB78E10B75C53D5C05D7C196D5E5EA"
    "D5422B5A881CC1F83E33064ABB311D0E7BD9ABE05D015F209FE5D6E39CED6DD1F6D4490665C18C6D3EA49D8"
    "30743284B89027D8DC9A2D2CDF55C1E23BA";

// Bytes of a point in uncompressed form and of the tag, for P-256.
constexpr std::size_t kPointSize = 65;
constexpr std::size_t kTagSize = 20;

inline std::string ToHex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 0x0f];
    }
    return text;
}

// Digit value of a hex digit, -1 for any other character.
inline int HexDigit(unsigned long c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, what);
    std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::fuzz::Fail(__FILE__, __LINE__, #condition))

#endif  // ECCENCRYPTION_FUZZ_FUZZSUPPORT_H
