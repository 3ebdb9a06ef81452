#include "TextInput.h"

#include <algorithm>
#include <array>
#include <utility>

namespace ecccrypt {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;

// Both key encodings are a DER SEQUENCE; what comes first inside it tells them apart: a
// SubjectPublicKeyInfo starts with its AlgorithmIdentifier (a SEQUENCE), a PrivateKeyInfo with
// its version (an INTEGER).
bool Classify(std::string_view hex, KeyKind& kind) {
    std::array<unsigned char, 6> head{};
    const std::size_t count = std::min(head.size(), hex.size() / 2);
    for (std::size_t i = 0; i < count; ++i) {
        head[i] = static_cast<unsigned char>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
    }
    if (count < 3 || head[0] != kSequence) return false;
    std::size_t header = 2;
    if (head[1] >= 0x80) {
        const std::size_t lengthBytes = head[1] & 0x7f;
        if (lengthBytes == 0 || lengthBytes > 2) return false;
        header += lengthBytes;
    }
    if (header >= count) return false;
    if (head[header] == kSequence) {
        kind = KeyKind::Public;
    } else if (head[header] == kInteger) {
        kind = KeyKind::Private;
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* KeyTextErrorText(KeyTextError error) {
    switch (error) {
        case KeyTextError::None:
            return "no error";
        case KeyTextError::Empty:
            return "the file is empty";
        case KeyTextError::NotHex:
            return "the key text has a character that is not a hex digit";
        case KeyTextError::OddDigits:
            return "the key text has an odd number of hex digits";
        case KeyTextError::NotAKey:
            return "the text is not a public-key or private-key text";
    }
    return "unknown error";
}

KeyTextError ParseKeyText(std::string_view content, KeyKind& kind, std::string& text) {
    const std::string_view hex = Trim(content);
    if (hex.empty()) return KeyTextError::Empty;
    for (const char c : hex) {
        if (HexDigit(c) < 0) return KeyTextError::NotHex;
    }
    if (hex.size() % 2 != 0) return KeyTextError::OddDigits;
    KeyKind found;
    if (!Classify(hex, found)) return KeyTextError::NotAKey;
    text.assign(hex);
    kind = found;
    return KeyTextError::None;
}

void CiphertextTextReader::Fail(std::string why) {
    state_ = State::Failed;
    error_ = std::move(why);
}

bool CiphertextTextReader::Feed(std::string_view piece, std::string& out) {
    if (state_ == State::Failed) return false;
    // The values of the hex digits, -1 for every other character.
    static const std::array<signed char, 256> kValues = [] {
        std::array<signed char, 256> values{};
        for (int c = 0; c < 256; ++c)
            values[c] = static_cast<signed char>(HexDigit(static_cast<char>(c)));
        return values;
    }();
    auto value = [](char c) { return kValues[static_cast<unsigned char>(c)]; };
    // Room for every byte this piece can complete; trimmed to what was written at the end.
    std::size_t size = out.size();
    out.resize(size + piece.size() / 2 + 1);
    char* bytes = &out[0];
    const std::size_t count = piece.size();
    std::size_t i = 0;
    while (i < count) {
        // Whole pairs of digits, the bulk of any ciphertext text, go the short way.
        if (high_ < 0 && state_ != State::After) {
            const std::size_t from = i;
            for (; i + 1 < count; i += 2) {
                const int high = value(piece[i]), low = value(piece[i + 1]);
                if ((high | low) < 0) break;
                bytes[size++] = static_cast<char>(high << 4 | low);
            }
            if (i != from) state_ = State::Digits;
            offset_ += i - from;
            if (i == count) break;
        }
        const char c = piece[i];
        const int digit = value(c);
        if (digit >= 0) {
            if (state_ == State::After) {
                Fail("the ciphertext text has white space inside it (at offset " +
                     std::to_string(spaceAt_) + ")");
                break;
            }
            state_ = State::Digits;
            if (high_ < 0) {
                high_ = digit;
            } else {
                bytes[size++] = static_cast<char>(high_ << 4 | digit);
                high_ = -1;
            }
        } else if (IsSpace(c)) {
            if (state_ == State::Digits) {
                state_ = State::After;
                spaceAt_ = offset_;
            }
        } else {
            Fail("the ciphertext text has a character that is not a hex digit (at offset " +
                 std::to_string(offset_) + ")");
            break;
        }
        ++offset_;
        ++i;
    }
    out.resize(size);
    return state_ != State::Failed;
}

bool CiphertextTextReader::Finish() {
    if (state_ == State::Failed) return false;
    if (high_ >= 0) {
        Fail("the ciphertext text has an odd number of hex digits");
        return false;
    }
    return true;
}

}  // namespace ecccrypt
