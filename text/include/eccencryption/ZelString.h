// ZEL::String: lenient conversion of hexadecimal text into bytes.
//
// Pairs of characters become bytes, the first of a pair giving the high four bits. Digits may
// be of either case; every other character counts as the digit 0. Conversion stops at the
// first zero character, at a final unpaired character (which is ignored), or when |limit|
// bytes have been written, whichever comes first. Nothing else of |dest| is touched, and a
// null |text| or |dest| makes the call do nothing. Nothing is reported and nothing throws.
// Wide text is read code unit by code unit; only the 22 ASCII hex digits count as digits.
#ifndef ECCENCRYPTION_ZELSTRING_H
#define ECCENCRYPTION_ZELSTRING_H

#include <cstdint>
#include <string>

#include <eccencryption/eccencryption_export.h>

namespace ZEL {

class ECCENCRYPTION_EXPORT String {
  public:
    // Hex2Bin converts the zero-terminated |text| into at most |limit| bytes at |dest|, which
    // must have room for min(limit, characters before the first zero / 2) bytes.
    static void Hex2Bin(const char* text, unsigned char* dest, std::uint64_t limit) noexcept;
    static void Hex2Bin(const wchar_t* text, unsigned char* dest, std::uint64_t limit) noexcept;

    // The string forms convert text.c_str(): a zero character inside the string ends the text.
    static void Hex2Bin(const std::string& text, unsigned char* dest, std::uint64_t limit) noexcept;
    static void Hex2Bin(const std::wstring& text, unsigned char* dest,
                        std::uint64_t limit) noexcept;

    String& operator=(const String&);
    String& operator=(String&&);

  private:
    static int char2int(char c) noexcept;
    static int wchar2int(wchar_t c) noexcept;
};

}  // namespace ZEL

#endif  // ECCENCRYPTION_ZELSTRING_H
