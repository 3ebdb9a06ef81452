// The tool's strict readers of key files and ciphertext text. They take bytes already read and do
// no I/O, so tests and fuzz targets can call them directly. The library reads both forms
// leniently; the tool refuses anything it would have to guess about.
#ifndef ECCCRYPT_TEXTINPUT_H
#define ECCCRYPT_TEXTINPUT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace ecccrypt {

enum class KeyKind { Public, Private };

// HexDigit returns the value of the hex digit |c| (either case), or -1 for any other character.
int HexDigit(char c);

// IsSpace tells the ASCII white space characters, whatever the locale.
bool IsSpace(char c);

// Trim returns |s| without the white space at either end.
std::string_view Trim(std::string_view s);

// KeyTextError says why ParseKeyText refused a key file's content.
enum class KeyTextError {
    None,
    Empty,      // nothing but white space
    NotHex,     // a character inside the text that is not a hex digit
    OddDigits,  // an odd number of hex digits
    NotAKey,    // hex, but it does not begin like a public-key or a private-key encoding
};

// KeyTextErrorText returns a short English description of |error|, never null.
const char* KeyTextErrorText(KeyTextError error);

// ParseKeyText reads the content of a key file. White space around the text is ignored; the text
// itself must be hex digits of either case, an even number of them, whose bytes begin like a
// DER SubjectPublicKeyInfo (a public key) or a PKCS #8 PrivateKeyInfo (a private key). Whether
// the key is usable is the library's decision. On success |kind| and |text| (the text without
// the white space) are set; on failure both are unchanged.
KeyTextError ParseKeyText(std::string_view content, KeyKind& kind, std::string& text);

// CiphertextTextReader decodes ciphertext text fed in pieces of any size. White space before
// and after the digits is ignored; any other character that is not a hex digit (white space
// between digits included) and an odd number of digits are errors.
class CiphertextTextReader {
  public:
    // Feed decodes |piece| and appends its bytes to |out|. It returns false at the first error
    // and from then on; Error() then says what was wrong.
    bool Feed(std::string_view piece, std::string& out);

    // Finish reports whether the text ended well: no error and an even number of digits.
    bool Finish();

    // Error returns a one-line description of the error, or an empty string when there is none.
    const std::string& Error() const { return error_; }

  private:
    enum class State { Before, Digits, After, Failed };

    void Fail(std::string why);

    State state_ = State::Before;
    int high_ = -1;              // the pending first digit of a pair, or -1
    std::uint64_t offset_ = 0;   // characters consumed so far
    std::uint64_t spaceAt_ = 0;  // where the white space after the digits began
    std::string error_;
};

}  // namespace ecccrypt

#endif  // ECCCRYPT_TEXTINPUT_H
