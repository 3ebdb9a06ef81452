// The tool's key-file reader (key text, PEM, DER): on failure the outputs keep their values; a
// key it accepts in PEM or DER form has the library's fixed encoding, and writing any accepted
// key in each of the three forms and reading it back gives the same key.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "KeyFile.h"

namespace {

using ecccrypt::KeyFormat;
using ecccrypt::KeyKind;

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    KeyKind kind = KeyKind::Public;
    std::string der = "unchanged";
    const std::string why = ecccrypt::ParseKeyFile(content, kind, der);
    if (!why.empty()) {
        Require(kind == KeyKind::Public && der == "unchanged");
        Require(why.find('\n') == std::string::npos);
        return 0;
    }
    // Key text is passed on as it is: written as text and read back, it is the same key.
    KeyKind textKind = kind == KeyKind::Public ? KeyKind::Private : KeyKind::Public;
    std::string textDer;
    Require(ecccrypt::ParseKeyFile(ecccrypt::EncodeKeyFile(kind, der, KeyFormat::Text), textKind,
                                   textDer)
                .empty());
    Require(textKind == kind && textDer == der);
    // PEM and DER are read structurally. Both forms of the same bytes give the same answer, and
    // what they give is the library's fixed encoding, which reads back as itself.
    KeyKind pemKind = kind, derKind = kind;
    std::string pemDer, derDer;
    const std::string pemWhy =
        ecccrypt::ParseKeyFile(ecccrypt::EncodeKeyFile(kind, der, KeyFormat::Pem), pemKind, pemDer);
    const std::string derWhy =
        ecccrypt::ParseKeyFile(ecccrypt::EncodeKeyFile(kind, der, KeyFormat::Der), derKind, derDer);
    // Bytes that are all hex digits and white space read as key text, not DER; no key is such.
    bool textLike = true;
    for (const char c : der) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex && c != ' ' && (c < '\t' || c > '\r')) textLike = false;
    }
    Require(textLike || (pemWhy == derWhy && pemDer == derDer && pemKind == derKind));
    if (pemWhy.empty()) {
        Require(pemKind == kind && pemDer.size() == (kind == KeyKind::Public ? 91u : 67u));
        KeyKind fixedKind = kind;
        std::string fixed;
        Require(ecccrypt::ParseKeyFile(ecccrypt::EncodeKeyFile(kind, pemDer, KeyFormat::Der),
                                       fixedKind, fixed)
                    .empty());
        Require(fixed == pemDer);
    }
    return 0;
}
