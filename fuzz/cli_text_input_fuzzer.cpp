// The tool's readers of key files and ciphertext text, against a plain model of what they accept.
// ParseKeyText: the error class follows from the trimmed text, and on failure the outputs keep
// their values. CiphertextTextReader: fed in pieces of sizes the fuzzer chooses, it accepts
// exactly the texts that are hex digits, an even number of them, between optional white space,
// and then yields their bytes; a failure is reported with an error text.
//
// Input: one selector byte (even: key file, odd: ciphertext text), for the ciphertext a list of
// piece sizes taken from the end, and the text.
#include "TextInput.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool AllHex(std::string_view s) {
    for (const char c : s) {
        if (fuzz::HexDigit(static_cast<unsigned char>(c)) < 0) return false;
    }
    return true;
}

std::string Bytes(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(fuzz::HexDigit(static_cast<unsigned char>(hex[i])) << 4 |
                                   fuzz::HexDigit(static_cast<unsigned char>(hex[i + 1])));
    }
    return bytes;
}

void CheckKeyText(const std::string& content) {
    using ecccrypt::KeyKind;
    using ecccrypt::KeyTextError;
    KeyKind kind = KeyKind::Private;
    std::string text = "unchanged";
    const KeyTextError error = ecccrypt::ParseKeyText(content, kind, text);

    const std::string_view trimmed = Trim(content);
    if (trimmed.empty()) {
        FUZZ_CHECK(error == KeyTextError::Empty);
    } else if (!AllHex(trimmed)) {
        FUZZ_CHECK(error == KeyTextError::NotHex);
    } else if (trimmed.size() % 2 != 0) {
        FUZZ_CHECK(error == KeyTextError::OddDigits);
    } else {
        FUZZ_CHECK(error == KeyTextError::None || error == KeyTextError::NotAKey);
    }
    if (error != KeyTextError::None) {
        FUZZ_CHECK(kind == KeyKind::Private && text == "unchanged");
        return;
    }
    FUZZ_CHECK(text == trimmed);
    // Both encodings are a DER SEQUENCE; the first element inside tells them apart.
    const std::string der = Bytes(text);
    FUZZ_CHECK(!der.empty() && static_cast<unsigned char>(der[0]) == 0x30);
}

void CheckCiphertextText(FuzzedDataProvider& data) {
    std::string pieces[8];
    std::size_t count = 0;
    while (count < 7 && data.ConsumeBool()) {
        pieces[count++] =
            data.ConsumeBytesAsString(data.ConsumeIntegralInRange<std::size_t>(0, 64));
    }
    pieces[count++] = data.ConsumeRemainingBytesAsString();
    std::string whole;
    for (std::size_t i = 0; i < count; ++i) whole += pieces[i];

    ecccrypt::CiphertextTextReader reader;
    std::string out = "kept";
    bool ok = true;
    for (std::size_t i = 0; i < count && ok; ++i) ok = reader.Feed(pieces[i], out);
    ok = ok && reader.Finish();

    const std::string_view trimmed = Trim(whole);
    const bool valid = AllHex(trimmed) && trimmed.size() % 2 == 0;
    FUZZ_CHECK(ok == valid);
    FUZZ_CHECK(reader.Error().empty() == ok);
    if (ok) {
        FUZZ_CHECK(out == "kept" + Bytes(trimmed));
    } else {
        FUZZ_CHECK(!reader.Feed("00", out));  // a failed reader stays failed
        // Nothing beyond the bytes of the digits before the error is appended.
        FUZZ_CHECK(out.compare(0, 4, "kept") == 0);
        FUZZ_CHECK(out.size() - 4 <= trimmed.size() / 2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    if (bytes[0] % 2 == 0) {
        CheckKeyText(std::string(reinterpret_cast<const char*>(bytes) + 1, size - 1));
    } else {
        FuzzedDataProvider data(bytes + 1, size - 1);
        CheckCiphertextText(data);
    }
    return 0;
}
