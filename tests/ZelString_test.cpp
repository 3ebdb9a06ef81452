#include <eccencryption/ZelString.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned char kUntouched = 0xEE;
constexpr std::size_t kDestSize = 8;

struct Case {
    const char* name;
    std::string text;
    std::uint64_t limit;
    std::vector<unsigned char> expected;  // the bytes written; the rest stays kUntouched
};

std::vector<Case> Cases() {
    using namespace std::string_literals;
    return {
        {"empty", "", 8, {}},
        {"lone digit", "A", 8, {}},
        {"odd tail ignored", "ABC", 8, {0xAB}},
        {"lower", "ff", 8, {0xFF}},
        {"upper", "FF", 8, {0xFF}},
        {"mixed case", "fF", 8, {0xFF}},
        {"nibble order", "0990", 8, {0x09, 0x90}},
        {"prefix takes positions", "0x1F", 2, {0x00, 0x1F}},
        {"non digits count as zero", "zzG11G", 8, {0x00, 0x01, 0x10}},
        {"limit stops", "ABCD", 1, {0xAB}},
        {"limit zero", "ABCD", 0, {}},
        {"zero char ends text", "AB\0CD"s, 8, {0xAB}},
        {"high-bit char is zero",
         "\xC1"
         "1",
         8,
         {0x01}},
        {"huge limit", "0123", std::numeric_limits<std::uint64_t>::max(), {0x01, 0x23}},
    };
}

std::vector<unsigned char> Expected(const Case& c) {
    std::vector<unsigned char> out(kDestSize, kUntouched);
    std::copy(c.expected.begin(), c.expected.end(), out.begin());
    return out;
}

std::wstring Widen(const std::string& s) {
    std::wstring w;
    for (const char c : s) w += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return w;
}

// Every overload gives the same bytes for the same text, and touches nothing else.
TEST(Hex2Bin, AllOverloadsFollowTheConversionRules) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> expected = Expected(c);
        const std::wstring wide = Widen(c.text);

        std::vector<unsigned char> dest(kDestSize, kUntouched);
        ZEL::String::Hex2Bin(c.text.c_str(), dest.data(), c.limit);
        EXPECT_EQ(dest, expected) << "narrow pointer";

        dest.assign(kDestSize, kUntouched);
        ZEL::String::Hex2Bin(c.text, dest.data(), c.limit);
        EXPECT_EQ(dest, expected) << "narrow string";

        dest.assign(kDestSize, kUntouched);
        ZEL::String::Hex2Bin(wide.c_str(), dest.data(), c.limit);
        EXPECT_EQ(dest, expected) << "wide pointer";

        dest.assign(kDestSize, kUntouched);
        ZEL::String::Hex2Bin(wide, dest.data(), c.limit);
        EXPECT_EQ(dest, expected) << "wide string";
    }
}

TEST(Hex2Bin, WideTextReadsCodeUnitsOnly) {
    std::vector<unsigned char> dest(kDestSize, kUntouched);
    // Full-width digits U+FF11 U+FF12 and a code unit whose low byte is '4' are not digits.
    ZEL::String::Hex2Bin(
        L"\xFF11\xFF12"
        L"0A\x0134"
        L"5",
        dest.data(), kDestSize);
    EXPECT_EQ(dest, (std::vector<unsigned char>{0x00, 0x0A, 0x05, kUntouched, kUntouched,
                                                kUntouched, kUntouched, kUntouched}));
}

TEST(Hex2Bin, NullArgumentsDoNothing) {
    std::vector<unsigned char> dest(kDestSize, kUntouched);
    ZEL::String::Hex2Bin(static_cast<const char*>(nullptr), dest.data(), kDestSize);
    ZEL::String::Hex2Bin(static_cast<const wchar_t*>(nullptr), dest.data(), kDestSize);
    EXPECT_EQ(dest, std::vector<unsigned char>(kDestSize, kUntouched));
    // A null destination must not be written through.
    ZEL::String::Hex2Bin("ABCD", nullptr, kDestSize);
    ZEL::String::Hex2Bin(std::wstring(L"ABCD"), nullptr, kDestSize);
}

// Random texts over an alphabet rich in edge characters, against a direct model of the rules.
TEST(Hex2Bin, MatchesModelOnRandomText) {
    // The alphabet ends with a zero character, which ends the text wherever it falls.
    const std::string alphabet = std::string("0123456789abcdefABCDEFgGxz :\xFF\x80", 31);
    std::mt19937 rng(20261209);
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 40, '0');
        for (char& ch : text) ch = alphabet[rng() % alphabet.size()];
        const std::uint64_t limit = rng() % 25;

        const std::string visible = text.substr(0, text.find('\0'));
        std::vector<unsigned char> model(32, kUntouched);
        for (std::size_t i = 0; i + 1 < visible.size() && i / 2 < limit; i += 2) {
            auto digit = [](char c) -> int {
                const auto u = static_cast<unsigned char>(c);
                if (u >= '0' && u <= '9') return u - '0';
                if (u >= 'A' && u <= 'F') return u - 'A' + 10;
                if (u >= 'a' && u <= 'f') return u - 'a' + 10;
                return 0;
            };
            model[i / 2] =
                static_cast<unsigned char>(digit(visible[i]) * 16 + digit(visible[i + 1]));
        }
        std::vector<unsigned char> dest(32, kUntouched);
        ZEL::String::Hex2Bin(text, dest.data(), limit);
        ASSERT_EQ(dest, model) << "text '" << text << "' limit " << limit;
        dest.assign(32, kUntouched);
        ZEL::String::Hex2Bin(Widen(text), dest.data(), limit);
        ASSERT_EQ(dest, model) << "wide text '" << text << "' limit " << limit;
    }
}

// Long texts over every narrow code value and wide code units beyond 255, so that block-wise
// conversion meets each of them at every position of a block, against the same model.
TEST(Hex2Bin, LongTextsMatchModelOverAllCodeValues) {
    const std::vector<std::uint32_t> wideExtras = {0x100,      0x130,     0x141,      0xFF10,
                                                   0xFF41,     0x10030,   0x7FFFFF61, 0x80000039,
                                                   0xFFFFFF30, 0xFFFFFFFF};
    std::mt19937 rng(6);
    auto digit = [](std::uint32_t u) -> int {
        if (u >= '0' && u <= '9') return static_cast<int>(u - '0');
        if (u >= 'A' && u <= 'F') return static_cast<int>(u - 'A' + 10);
        if (u >= 'a' && u <= 'f') return static_cast<int>(u - 'a' + 10);
        return 0;
    };
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint32_t> units(rng() % 300);
        for (auto& u : units) {
            // Mostly digits, so that converted bytes vary; now and then a zero ends the text.
            const unsigned pick = rng() % 100;
            u = pick < 60   ? static_cast<std::uint32_t>("0123456789abcdefABCDEF"[rng() % 22])
                : pick < 99 ? 1 + rng() % 255
                            : 0;
        }
        const std::uint64_t limit = rng() % 4 == 0 ? rng() % 160 : 1000;
        std::string narrow;
        std::wstring wide;
        for (const std::uint32_t u : units) {
            narrow += static_cast<char>(u);
            const bool extra = u != 0 && rng() % 8 == 0;
            wide += static_cast<wchar_t>(extra ? wideExtras[rng() % wideExtras.size()] : u);
        }

        auto model = [&](auto&& codeAt, std::size_t length) {
            std::vector<unsigned char> out(200, kUntouched);
            for (std::size_t i = 0; i + 1 < length && i / 2 < limit; i += 2) {
                out[i / 2] =
                    static_cast<unsigned char>(digit(codeAt(i)) * 16 + digit(codeAt(i + 1)));
            }
            return out;
        };
        std::vector<unsigned char> dest(200, kUntouched);
        ZEL::String::Hex2Bin(narrow, dest.data(), limit);
        ASSERT_EQ(dest, model([&](std::size_t i) { return static_cast<unsigned char>(narrow[i]); },
                              std::strlen(narrow.c_str())))
            << "narrow, round " << round;
        dest.assign(200, kUntouched);
        ZEL::String::Hex2Bin(wide, dest.data(), limit);
        ASSERT_EQ(dest, model([&](std::size_t i) { return static_cast<std::uint32_t>(wide[i]); },
                              std::wcslen(wide.c_str())))
            << "wide, round " << round;
    }
}

}  // namespace
