// Hex2Bin in all four forms against a plain model of the conversion. The destination has exactly
// the room the caller contract promises plus some slack bytes: AddressSanitizer catches a write
// past the allocation, the slack check one past the converted bytes. The text after its first
// zero character is poisoned, so reading past the terminator is caught too.
#include <eccencryption/ZelString.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

constexpr unsigned char kUntouched = 0xA5;

enum class Form { NarrowPointer, WidePointer, NarrowString, WideString };

// The bytes Hex2Bin must write for |text| under |limit|: one per full pair before the first
// zero unit, at most |limit| of them, non-digits counting as 0.
template <typename Unit>
std::vector<unsigned char> Model(const std::vector<Unit>& text, std::uint64_t limit) {
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i + 1 < text.size() && text[i] != 0 && text[i + 1] != 0; i += 2) {
        if (bytes.size() >= limit) break;
        const auto value = [](Unit u) {
            const int digit = fuzz::HexDigit(static_cast<std::make_unsigned_t<Unit>>(u));
            return digit < 0 ? 0 : digit;
        };
        bytes.push_back(static_cast<unsigned char>(value(text[i]) << 4 | value(text[i + 1])));
    }
    return bytes;
}

// Narrow units are the input bytes. A wide unit is one input byte below 0xF0, or after such a
// lead byte any 32-bit value from the next four, so that negative and large code units occur.
std::vector<wchar_t> WideUnits(FuzzedDataProvider& data) {
    std::vector<wchar_t> units;
    while (data.remaining_bytes() > 0) {
        const auto lead = data.ConsumeIntegral<std::uint8_t>();
        units.push_back(lead < 0xF0 ? static_cast<wchar_t>(lead)
                                    : static_cast<wchar_t>(data.ConsumeIntegral<std::uint32_t>()));
    }
    return units;
}

// Poisons the units after the first zero unit (or does nothing without one) until Unpoison.
template <typename Unit>
class GuardAfterTerminator {
  public:
    GuardAfterTerminator(const Unit* begin, std::size_t size) {
        const Unit* zero = std::find(begin, begin + size, Unit{0});
        if (zero + 1 < begin + size) {
            start_ = zero + 1;
            bytes_ = static_cast<std::size_t>(begin + size - start_) * sizeof(Unit);
            ASAN_POISON_MEMORY_REGION(start_, bytes_);
        }
    }
    ~GuardAfterTerminator() {
        if (start_ != nullptr) ASAN_UNPOISON_MEMORY_REGION(start_, bytes_);
    }
    GuardAfterTerminator(const GuardAfterTerminator&) = delete;
    GuardAfterTerminator& operator=(const GuardAfterTerminator&) = delete;

  private:
    const Unit* start_ = nullptr;
    std::size_t bytes_ = 0;
};

template <typename Unit>
void Check(Form form, std::vector<Unit> units, std::uint64_t limit, std::size_t slack,
           int nullCase) {
    const std::vector<unsigned char> expected = Model(units, limit);
    const std::size_t room = expected.size() + slack;
    std::unique_ptr<unsigned char[]> dest(new unsigned char[room]);
    std::fill(dest.get(), dest.get() + room, kUntouched);
    unsigned char* const target = nullCase == 1 ? nullptr : dest.get();

    if (form == Form::NarrowPointer || form == Form::WidePointer) {
        units.push_back(0);  // the terminator, with everything after an inner zero poisoned
        const GuardAfterTerminator<Unit> guard(units.data(), units.size());
        ZEL::String::Hex2Bin(nullCase == 0 ? nullptr : units.data(), target, limit);
    } else {
        const std::basic_string<Unit> text(units.begin(), units.end());
        const GuardAfterTerminator<Unit> guard(text.data(), text.size());
        ZEL::String::Hex2Bin(text, target, limit);
    }

    const bool writes =
        target != nullptr &&
        !(nullCase == 0 && (form == Form::NarrowPointer || form == Form::WidePointer));
    for (std::size_t i = 0; i < room; ++i) {
        const unsigned char want = writes && i < expected.size() ? expected[i] : kUntouched;
        FUZZ_CHECK(dest[i] == want);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const auto form = static_cast<Form>(data.ConsumeIntegralInRange<int>(0, 3));
    // Mostly small limits, so that limits below the text's pair count are common.
    const std::uint64_t limit = data.ConsumeBool()
                                    ? data.ConsumeIntegralInRange<std::uint64_t>(0, 64)
                                    : data.ConsumeIntegral<std::uint64_t>();
    const auto slack = data.ConsumeIntegralInRange<std::size_t>(0, 8);
    // 0: null text (pointer forms), 1: null destination, otherwise both valid.
    const int nullCase = data.ConsumeIntegralInRange<int>(0, 15);

    if (form == Form::NarrowPointer || form == Form::NarrowString) {
        const std::vector<std::uint8_t> raw = data.ConsumeRemainingBytes<std::uint8_t>();
        Check(form, std::vector<char>(raw.begin(), raw.end()), limit, slack, nullCase);
    } else {
        Check(form, WideUnits(data), limit, slack, nullCase);
    }
    return 0;
}
