#include "KeyFile.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace ecccrypt {
namespace {

constexpr unsigned char kInteger = 0x02;
constexpr unsigned char kBitString = 0x03;
constexpr unsigned char kOctetString = 0x04;
constexpr unsigned char kOid = 0x06;
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kExplicit0 = 0xa0;
constexpr unsigned char kExplicit1 = 0xa1;
constexpr std::size_t kScalarBytes = 32;

// The contents of the OIDs id-ecPublicKey (1.2.840.10045.2.1) and prime256v1
// (1.2.840.10045.3.1.7).
constexpr std::string_view kEcPublicKey("\x2a\x86\x48\xce\x3d\x02\x01", 7);
constexpr std::string_view kPrime256v1("\x2a\x86\x48\xce\x3d\x03\x01\x07", 8);

// The fixed beginnings of the two encodings the library uses: a SubjectPublicKeyInfo up to the
// uncompressed point's 64 coordinate bytes, and a PrivateKeyInfo up to the 32-byte private value.
constexpr std::string_view kSpkiPrefix(
    "\x30\x59\x30\x13\x06\x07\x2a\x86\x48\xce\x3d\x02\x01\x06\x08\x2a\x86\x48\xce\x3d\x03\x01\x07"
    "\x03\x42\x00\x04",
    27);
constexpr std::string_view kPkcs8Prefix(
    "\x30\x41\x02\x01\x00\x30\x13\x06\x07\x2a\x86\x48\xce\x3d\x02\x01\x06\x08\x2a\x86\x48\xce\x3d"
    "\x03\x01\x07\x04\x27\x30\x25\x02\x01\x01\x04\x20",
    35);

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Wipes a string holding key material when it goes out of scope.
class Scrub {
  public:
    explicit Scrub(std::string& s) : s_(s) {}
    ~Scrub() { Wipe(s_); }
    Scrub(const Scrub&) = delete;
    Scrub& operator=(const Scrub&) = delete;

  private:
    std::string& s_;
};

// A reader of DER: definite lengths in their shortest form only, as DER requires.
class DerReader {
  public:
    explicit DerReader(std::string_view data) : rest_(data) {}

    bool AtEnd() const { return rest_.empty(); }
    int PeekTag() const { return rest_.empty() ? -1 : static_cast<unsigned char>(rest_[0]); }
    std::string_view Rest() const { return rest_; }

    // Read takes the next element, which must have |tag|, and yields its contents.
    bool Read(unsigned char tag, std::string_view& contents) {
        if (rest_.size() < 2 || static_cast<unsigned char>(rest_[0]) != tag) return false;
        std::size_t length = static_cast<unsigned char>(rest_[1]);
        std::size_t header = 2;
        if (length == 0x81) {
            if (rest_.size() < 3) return false;
            length = static_cast<unsigned char>(rest_[2]);
            if (length < 0x80) return false;
            header = 3;
        } else if (length == 0x82) {
            if (rest_.size() < 4) return false;
            length = static_cast<std::size_t>(static_cast<unsigned char>(rest_[2])) << 8 |
                     static_cast<unsigned char>(rest_[3]);
            if (length < 0x100) return false;
            header = 4;
        } else if (length >= 0x80) {
            return false;
        }
        if (rest_.size() - header < length) return false;
        contents = rest_.substr(header, length);
        rest_.remove_prefix(header + length);
        return true;
    }

  private:
    std::string_view rest_;
};

// CheckCurve checks that |element| is exactly an OBJECT IDENTIFIER naming P-256.
std::string CheckCurve(std::string_view element) {
    DerReader reader(element);
    std::string_view oid;
    if (!reader.Read(kOid, oid) || !reader.AtEnd()) {
        return "the key does not name its curve (only the named curve prime256v1 is supported)";
    }
    if (oid != kPrime256v1) return "the key is not on the P-256 curve (prime256v1)";
    return {};
}

// CheckAlgorithm checks an AlgorithmIdentifier's contents: id-ecPublicKey and P-256.
std::string CheckAlgorithm(std::string_view contents) {
    DerReader reader(contents);
    std::string_view oid;
    if (!reader.Read(kOid, oid)) return "the key's algorithm identifier is malformed";
    if (oid != kEcPublicKey) return "the key is not an elliptic-curve key";
    return CheckCurve(reader.Rest());
}

// ParsePublic reads a SubjectPublicKeyInfo and returns the library's encoding of it in |der|.
std::string ParsePublic(std::string_view data, std::string& der) {
    DerReader outer(data);
    std::string_view spki, algorithm, bits;
    if (!outer.Read(kSequence, spki) || !outer.AtEnd()) {
        return "the public key is not a well-formed DER SubjectPublicKeyInfo";
    }
    DerReader reader(spki);
    if (!reader.Read(kSequence, algorithm) || !reader.Read(kBitString, bits) || !reader.AtEnd()) {
        return "the public key is not a well-formed DER SubjectPublicKeyInfo";
    }
    if (std::string why = CheckAlgorithm(algorithm); !why.empty()) return why;
    if (bits.size() != 2 + 2 * kScalarBytes || bits[0] != 0 || bits[1] != 4) {
        return "the public key's point is not in uncompressed form";
    }
    der.assign(kSpkiPrefix);
    der.append(bits.substr(2));
    return {};
}

// ParseEcPrivateKey reads the contents of a SEC 1 ECPrivateKey and leaves the private value,
// padded to 32 bytes, in |scalar|. A key that does not sit inside a PKCS #8 wrapper must name
// its curve itself (|needCurve|).
std::string ParseEcPrivateKey(std::string_view contents, bool needCurve, std::string& scalar) {
    DerReader reader(contents);
    std::string_view version, value, element;
    if (!reader.Read(kInteger, version) || version != std::string_view("\x01", 1) ||
        !reader.Read(kOctetString, value)) {
        return "the private key is not a well-formed SEC 1 ECPrivateKey";
    }
    if (value.empty() || value.size() > kScalarBytes) {
        return "the private value is not a P-256 private key";
    }
    bool named = false;
    if (reader.PeekTag() == kExplicit0) {
        if (!reader.Read(kExplicit0, element)) return "the private key's curve is malformed";
        if (std::string why = CheckCurve(element); !why.empty()) return why;
        named = true;
    }
    // The public key, when present, is left out: the library derives it from the private value.
    if (reader.PeekTag() == kExplicit1 && !reader.Read(kExplicit1, element)) {
        return "the private key's public key is malformed";
    }
    if (!reader.AtEnd()) return "the private key has unexpected data after its fields";
    if (needCurve && !named) return "the SEC 1 private key does not name its curve";
    scalar.assign(kScalarBytes - value.size(), '\0');
    scalar.append(value);
    return {};
}

// ParsePrivate reads a PKCS #8 PrivateKeyInfo or a SEC 1 ECPrivateKey and returns the library's
// PKCS #8 encoding of the key in |der|.
std::string ParsePrivate(std::string_view data, std::string& der) {
    DerReader outer(data);
    std::string_view contents, version, algorithm, wrapped, inner;
    if (!outer.Read(kSequence, contents) || !outer.AtEnd()) {
        return "the private key is not well-formed DER";
    }
    std::string scalar;
    const Scrub scrub(scalar);
    DerReader reader(contents);
    if (!reader.Read(kInteger, version)) return "the private key is not well-formed DER";
    if (version == std::string_view("\x01", 1)) {
        if (std::string why = ParseEcPrivateKey(contents, true, scalar); !why.empty()) return why;
    } else if (version == std::string_view("\x00", 1)) {
        if (!reader.Read(kSequence, algorithm) || !reader.Read(kOctetString, wrapped) ||
            !reader.AtEnd()) {
            return "the private key is not a well-formed PKCS #8 PrivateKeyInfo";
        }
        if (std::string why = CheckAlgorithm(algorithm); !why.empty()) return why;
        DerReader key(wrapped);
        if (!key.Read(kSequence, inner) || !key.AtEnd()) {
            return "the private key is not a well-formed SEC 1 ECPrivateKey";
        }
        if (std::string why = ParseEcPrivateKey(inner, false, scalar); !why.empty()) return why;
    } else {
        return "the private key has an unsupported version";
    }
    Wipe(der);
    der.assign(kPkcs8Prefix);
    der.append(scalar);
    return {};
}

// ParseDer tells a public key from a private one by the first element inside the outer
// SEQUENCE: an AlgorithmIdentifier (SEQUENCE) or a version (INTEGER).
std::string ParseDer(std::string_view data, KeyKind& kind, std::string& der) {
    DerReader outer(data);
    std::string_view contents;
    if (!outer.Read(kSequence, contents)) return "the file is not a DER-encoded key";
    const int first = DerReader(contents).PeekTag();
    if (first == kSequence) {
        kind = KeyKind::Public;
        return ParsePublic(data, der);
    }
    if (first == kInteger) {
        kind = KeyKind::Private;
        return ParsePrivate(data, der);
    }
    return "the file is not a DER-encoded key";
}

// DecodeBase64 decodes PEM body text: the base64 alphabet with padding at the end only, white
// space ignored.
bool DecodeBase64(std::string_view text, std::string& out) {
    unsigned int bits = 0;
    int count = 0, padding = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (IsSpace(c)) continue;
        if (c == '=') {
            ++padding;
            ++digits;
            continue;
        }
        const char* p = c == '\0' ? nullptr : std::char_traits<char>::find(kBase64, 64, c);
        if (p == nullptr || padding > 0) return false;
        bits = bits << 6 | static_cast<unsigned int>(p - kBase64);
        ++digits;
        if (++count == 4) {
            out += static_cast<char>(bits >> 16 & 0xff);
            out += static_cast<char>(bits >> 8 & 0xff);
            out += static_cast<char>(bits & 0xff);
            bits = 0;
            count = 0;
        }
    }
    if (digits % 4 != 0 || padding > 2) return false;
    if (padding == 2 && count == 2) {
        out += static_cast<char>(bits >> 4 & 0xff);
    } else if (padding == 1 && count == 3) {
        out += static_cast<char>(bits >> 10 & 0xff);
        out += static_cast<char>(bits >> 2 & 0xff);
    } else if (padding != 0 || count != 0) {
        return false;
    }
    bits = 0;
    return true;
}

std::string_view PemBoundary(std::string_view line, std::string_view kind) {
    // "-----BEGIN LABEL-----" or "-----END LABEL-----": returns LABEL, or an empty view.
    const std::string_view dashes("-----");
    const std::size_t head = dashes.size() + kind.size() + 1;
    if (line.size() <= head + dashes.size() || line.substr(0, dashes.size()) != dashes ||
        line.substr(dashes.size(), kind.size()) != kind || line[head - 1] != ' ' ||
        line.substr(line.size() - dashes.size()) != dashes) {
        return {};
    }
    return line.substr(head, line.size() - head - dashes.size());
}

std::string ParsePem(std::string_view content, KeyKind& kind, std::string& der) {
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < content.size();) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        const std::string_view line = Trim(content.substr(pos, end - pos));
        if (!line.empty()) lines.push_back(line);
        pos = end + 1;
    }
    std::optional<std::string> why;
    for (std::size_t i = 0; i < lines.size();) {
        const std::string_view label = PemBoundary(lines[i], "BEGIN");
        if (label.empty()) return "the PEM file has text outside its BEGIN and END lines";
        std::size_t end = i + 1;
        while (end < lines.size() && PemBoundary(lines[end], "END") != label) ++end;
        if (end == lines.size()) return "the PEM block " + std::string(label) + " has no END line";
        bool encrypted = false, headers = false;
        std::string body;
        const Scrub scrub(body);
        for (std::size_t j = i + 1; j < end; ++j) {
            if (lines[j].find(':') != std::string_view::npos) {
                headers = true;
                if (lines[j].substr(0, 10) == "Proc-Type:" &&
                    lines[j].find("ENCRYPTED") != std::string_view::npos) {
                    encrypted = true;
                }
            } else {
                body.append(lines[j]);
            }
        }
        const std::size_t next = end + 1;
        if (label == "EC PARAMETERS") {
            // OpenSSL's "ecparam -genkey" writes the curve before the key, which names it again.
            i = next;
            continue;
        }
        if (label == "ENCRYPTED PRIVATE KEY" || encrypted) {
            return "the private key is encrypted; decrypt it first (for example with "
                   "'openssl pkey -in FILE -out PLAIN.pem')";
        }
        if (headers) return "the PEM block " + std::string(label) + " has unsupported headers";
        const bool isPublic = label == "PUBLIC KEY";
        if (!isPublic && label != "PRIVATE KEY" && label != "EC PRIVATE KEY") {
            return "unsupported PEM block '" + std::string(label) +
                   "' (expected PUBLIC KEY, PRIVATE KEY or EC PRIVATE KEY)";
        }
        if (why) return "the file holds more than one key";
        std::string bytes;
        const Scrub scrubBytes(bytes);
        if (!DecodeBase64(body, bytes)) {
            return "the PEM block " + std::string(label) + " is not valid base64";
        }
        KeyKind found;
        std::string result = ParseDer(bytes, found, der);
        if (result.empty() && found != (isPublic ? KeyKind::Public : KeyKind::Private)) {
            result = "the PEM block " + std::string(label) + " holds a " +
                     (found == KeyKind::Public ? "public" : "private") + " key";
        }
        if (!result.empty()) return result;
        kind = found;
        why = std::string();
        i = next;
    }
    if (!why) return "the PEM file holds no key";
    return {};
}

}  // namespace

bool ParseKeyFormat(std::string_view name, KeyFormat& format) {
    if (name == "text") {
        format = KeyFormat::Text;
    } else if (name == "pem") {
        format = KeyFormat::Pem;
    } else if (name == "der") {
        format = KeyFormat::Der;
    } else {
        return false;
    }
    return true;
}

std::string ParseKeyFile(std::string_view content, KeyKind& kind, std::string& der) {
    KeyKind found;
    std::string result;
    const Scrub scrub(result);
    std::string why;
    const std::string_view trimmed = Trim(content);
    bool binary = false;
    for (const char c : content) {
        if (HexDigit(c) < 0 && !IsSpace(c)) binary = true;
    }
    if (trimmed.substr(0, 11) == "-----BEGIN ") {
        why = ParsePem(trimmed, found, result);
    } else if (binary && !content.empty() && static_cast<unsigned char>(content[0]) == kSequence) {
        why = ParseDer(content, found, result);
    } else {
        std::string text;
        const Scrub scrubText(text);
        const KeyTextError error = ParseKeyText(content, found, text);
        if (error != KeyTextError::None) return KeyTextErrorText(error);
        result.reserve(text.size() / 2);
        for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
            result += static_cast<char>(HexDigit(text[i]) << 4 | HexDigit(text[i + 1]));
        }
    }
    if (!why.empty()) return why;
    kind = found;
    Wipe(der);
    der.swap(result);
    return {};
}

std::string EncodeKeyFile(KeyKind kind, std::string_view der, KeyFormat format) {
    if (format == KeyFormat::Der) return std::string(der);
    if (format == KeyFormat::Text) {
        std::string text = ToHexText(der);
        text += '\n';
        return text;
    }
    const char* label = kind == KeyKind::Public ? "PUBLIC KEY" : "PRIVATE KEY";
    std::string pem = std::string("-----BEGIN ") + label + "-----\n";
    std::size_t column = 0;
    for (std::size_t i = 0; i < der.size(); i += 3) {
        unsigned int bits = static_cast<unsigned int>(static_cast<unsigned char>(der[i])) << 16;
        if (i + 1 < der.size())
            bits |= static_cast<unsigned int>(static_cast<unsigned char>(der[i + 1])) << 8;
        if (i + 2 < der.size()) bits |= static_cast<unsigned char>(der[i + 2]);
        pem += kBase64[bits >> 18 & 0x3f];
        pem += kBase64[bits >> 12 & 0x3f];
        pem += i + 1 < der.size() ? kBase64[bits >> 6 & 0x3f] : '=';
        pem += i + 2 < der.size() ? kBase64[bits & 0x3f] : '=';
        column += 4;
        if (column == 64) {
            pem += '\n';
            column = 0;
        }
        bits = 0;
    }
    if (column != 0) pem += '\n';
    pem += std::string("-----END ") + label + "-----\n";
    return pem;
}

std::string ToHexText(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2 * bytes.size() + 1);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += kHex[b >> 4];
        text += kHex[b & 0x0f];
    }
    return text;
}

void Wipe(std::string& s) {
    s.resize(s.capacity());
    volatile char* p = s.data();
    for (std::size_t i = 0; i < s.size(); ++i) p[i] = 0;
    s.clear();
}

}  // namespace ecccrypt
