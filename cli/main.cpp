// ecc-crypt: makes key pairs, encrypts and decrypts files with the EccEncryption library.
// Exit status: 0 success, 1 a failed operation (one line on standard error), 2 misuse (the
// command's usage on standard error).
#include <eccencryption/EccEncryption.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Crypt.h"
#include "FileIo.h"
#include "KeyFile.h"
#include "TextInput.h"

namespace {

using ecccrypt::DefaultFileMode;
using ecccrypt::Failure;
using ecccrypt::InputFile;
using ecccrypt::KeyFormat;
using ecccrypt::KeyKind;
using ecccrypt::Output;
using ecccrypt::OutputFile;

constexpr std::size_t kKeyFileLimit = 64 * 1024;
constexpr unsigned int kDefaultSeedBytes = 32;
constexpr unsigned int kMinSeedBytes = 32;
constexpr unsigned int kMaxSeedBytes = 4096;

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

const char kToolUsage[] =
    "Usage: ecc-crypt COMMAND [OPTIONS]\n"
    "       ecc-crypt --help | --version\n"
    "\n"
    "Public-key encryption of files on the P-256 curve (ECIES).\n"
    "\n"
    "Commands:\n"
    "  keygen   make a key pair\n"
    "  encrypt  encrypt a message for a public key\n"
    "  decrypt  decrypt a ciphertext with a private key\n"
    "  convert  convert a key file between key text, PEM and DER\n"
    "\n"
    "Run 'ecc-crypt COMMAND --help' for the options of a command.\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

const char kKeygenUsage[] =
    "Usage: ecc-crypt keygen --private-key FILE --public-key FILE [--seed-bytes N]\n"
    "                        [--format text|pem] [--force]\n"
    "\n"
    "Makes a key pair and writes each key as hex text and a newline (or as PEM), the\n"
    "private key into a file of mode 0600.\n"
    "\n"
    "  --private-key FILE  file for the private key\n"
    "  --public-key FILE   file for the public key\n"
    "  --seed-bytes N      bytes of system randomness that seed the generator, 32 to 4096\n"
    "                      (default 32)\n"
    "  --format FORMAT     text (default) or pem\n"
    "  --force             replace existing key files\n";

const char kConvertUsage[] =
    "Usage: ecc-crypt convert --to text|pem|der [--in FILE] [--out FILE]\n"
    "\n"
    "Reads a public or private key file (key text, PEM or DER; a SEC 1 'EC PRIVATE KEY'\n"
    "too) and writes the key in the chosen form. A private key is written with mode 0600.\n"
    "Every command reads key files in all of these forms.\n"
    "\n"
    "  --to FORMAT  text (hex of the DER encoding, as keygen writes it), pem or der\n"
    "  --in FILE    the key file (default: standard input, also '-')\n"
    "  --out FILE   where the key goes (default: standard output, also '-')\n";

const char kEncryptUsage[] =
    "Usage: ecc-crypt encrypt --public-key FILE [--in FILE] [--out FILE] [--binary]\n"
    "                         [--progress]\n"
    "\n"
    "Encrypts the bytes of a file or pipe of any size for the holder of the private key\n"
    "and writes the ciphertext as upper-case hex text and a newline. The ciphertext\n"
    "appears only once it is complete.\n"
    "\n"
    "  --public-key FILE  the recipient's public-key file\n"
    "  --in FILE          the message (default: standard input, also '-')\n"
    "  --out FILE         where the ciphertext goes (default: standard output, also '-')\n"
    "  --binary           write the raw ciphertext bytes instead of hex text\n"
    "  --progress         show progress on a terminal (shown anyway from 256 MiB)\n";

const char kDecryptUsage[] =
    "Usage: ecc-crypt decrypt --private-key FILE [--in FILE] [--out FILE] [--binary]\n"
    "                         [--progress]\n"
    "\n"
    "Decrypts a ciphertext given as hex text (white space around it is ignored) and\n"
    "writes the message bytes. The message appears only once the whole ciphertext has\n"
    "been authenticated; until then it is kept in a temporary file.\n"
    "\n"
    "  --private-key FILE  the private-key file\n"
    "  --in FILE           the ciphertext (default: standard input, also '-')\n"
    "  --out FILE          where the message goes (default: standard output, also '-')\n"
    "  --binary            read raw ciphertext bytes instead of hex text\n"
    "  --progress          show progress on a terminal (shown anyway from 256 MiB)\n";

// Overwrites a string that held key material before its memory is released.
class WipeOnExit {
  public:
    explicit WipeOnExit(std::string& s) : s_(s) {}
    ~WipeOnExit() { ecccrypt::WipeString(s_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

  private:
    std::string& s_;
};

struct Option {
    std::string_view name;
    std::optional<std::string>* value;  // for an option with a value
    bool* flag;                         // for an option without one
};

// ParseOptions fills the options of one command from |args|. It returns false when the user
// asked for help.
bool ParseOptions(const std::vector<std::string>& args, const std::vector<Option>& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") return false;
        if (arg.size() <= 2 || arg.compare(0, 2, "--") != 0) {
            throw UsageError("unexpected argument '" + arg + "'");
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const Option& o) { return o.name == name; });
        if (option == options.end()) throw UsageError("unknown option " + name);
        if (option->flag != nullptr) {
            if (eq != std::string::npos) throw UsageError("option " + name + " takes no value");
            if (*option->flag) throw UsageError("option " + name + " given twice");
            *option->flag = true;
            continue;
        }
        if (option->value->has_value()) throw UsageError("option " + name + " given twice");
        if (eq != std::string::npos) {
            *option->value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            *option->value = args[++i];
        } else {
            throw UsageError("option " + name + " needs a value");
        }
        if ((*option->value)->empty()) throw UsageError("option " + name + " needs a value");
    }
    return true;
}

const std::string& Required(const std::optional<std::string>& value, const char* name) {
    if (!value) throw UsageError(std::string("option ") + name + " is required");
    return *value;
}

unsigned int ParseSeedBytes(const std::string& text) {
    const std::string why = "--seed-bytes must be a number from " + std::to_string(kMinSeedBytes) +
                            " to " + std::to_string(kMaxSeedBytes);
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        throw UsageError(why);
    }
    const unsigned long value = std::stoul(text);
    if (value < kMinSeedBytes || value > kMaxSeedBytes) throw UsageError(why);
    return static_cast<unsigned int>(value);
}

// ReadKeyFile reads a key file in any of the forms the tool knows and returns the key's DER
// encoding; |kind| is set to what it holds.
std::string ReadKeyFile(const std::string& path, KeyKind& kind, const char* wantedName) {
    std::string content = ecccrypt::ReadSmallFile(path, kKeyFileLimit);
    const WipeOnExit wipeContent(content);
    std::string der;
    const std::string why = ecccrypt::ParseKeyFile(content, kind, der);
    if (!why.empty()) {
        const std::string name = path == "-" ? "on standard input" : "file " + path;
        const std::string what = *wantedName != '\0' ? std::string(wantedName) + " key " : "key ";
        throw Failure("invalid " + what + name + ": " + why);
    }
    return der;
}

// ReadKey reads a key file of the |wanted| kind and returns its key text.
std::string ReadKey(const std::string& path, KeyKind wanted, const char* option) {
    if (path == "-") throw UsageError(std::string("option ") + option + " needs a file name");
    const char* const wantedName = wanted == KeyKind::Public ? "public" : "private";
    KeyKind kind;
    std::string der = ReadKeyFile(path, kind, wantedName);
    const WipeOnExit wipeDer(der);
    if (kind != wanted) {
        throw Failure(path + " holds a " + (kind == KeyKind::Public ? "public" : "private") +
                      " key; " + option + " needs the " + wantedName + " key");
    }
    return ecccrypt::ToHexText(der);
}

KeyFormat ParseFormat(const std::string& name, const char* option, bool derAllowed) {
    KeyFormat format;
    if (!ecccrypt::ParseKeyFormat(name, format) || (!derAllowed && format == KeyFormat::Der)) {
        throw UsageError(std::string(option) + " must be " +
                         (derAllowed ? "text, pem or der" : "text or pem"));
    }
    return format;
}

// PemOfKeyText returns the PEM form of a key text that the library made.
std::string PemOfKeyText(const std::string& text) {
    KeyKind kind;
    std::string der;
    const WipeOnExit wipeDer(der);
    const std::string why = ecccrypt::ParseKeyFile(text, kind, der);
    if (!why.empty()) throw Failure("key generation made an unreadable key: " + why);
    return ecccrypt::EncodeKeyFile(kind, der, KeyFormat::Pem);
}

int Keygen(const std::vector<std::string>& args) {
    std::optional<std::string> privatePath, publicPath, seedText, formatName;
    bool force = false;
    if (!ParseOptions(args, {{"--private-key", &privatePath, nullptr},
                             {"--public-key", &publicPath, nullptr},
                             {"--seed-bytes", &seedText, nullptr},
                             {"--format", &formatName, nullptr},
                             {"--force", nullptr, &force}})) {
        std::fputs(kKeygenUsage, stdout);
        return 0;
    }
    const std::string& privateName = Required(privatePath, "--private-key");
    const std::string& publicName = Required(publicPath, "--public-key");
    if (privateName == "-" || publicName == "-") {
        throw UsageError("key files need a file name; '-' is not allowed");
    }
    if (ecccrypt::SameDestination(privateName, publicName)) {
        throw UsageError("--private-key and --public-key name the same file");
    }
    const unsigned int seedBytes = seedText ? ParseSeedBytes(*seedText) : kDefaultSeedBytes;
    const KeyFormat format =
        formatName ? ParseFormat(*formatName, "--format", false) : KeyFormat::Text;
    if (!force) {
        for (const std::string* path : {&privateName, &publicName}) {
            if (ecccrypt::Exists(*path))
                throw Failure(*path + " exists; use --force to replace it");
        }
    }

    std::string privateText, publicText;
    const WipeOnExit wipe(privateText);
    EccEncryption::GenerateEccKeys(seedBytes, privateText, publicText);
    if (privateText.empty()) {
        throw Failure("key generation failed (the system's random source may be unavailable)");
    }
    // The newline is written on its own: appending it could move the key text to a larger
    // buffer and release the old one unwiped.
    OutputFile privateFile(privateName, 0600);
    OutputFile publicFile(publicName, DefaultFileMode());
    if (format == KeyFormat::Pem) {
        std::string privatePem = PemOfKeyText(privateText);
        const WipeOnExit wipePem(privatePem);
        const std::string publicPem = PemOfKeyText(publicText);
        privateFile.Write(privatePem.data(), privatePem.size());
        publicFile.Write(publicPem.data(), publicPem.size());
    } else {
        privateFile.Write(privateText.data(), privateText.size());
        privateFile.Write("\n", 1);
        publicFile.Write(publicText.data(), publicText.size());
        publicFile.Write("\n", 1);
    }
    privateFile.Commit(force);
    try {
        publicFile.Commit(force);
    } catch (const Failure&) {
        // A private key without its public key is of no use; take back the file just made.
        if (!force) ::unlink(privateName.c_str());
        throw;
    }
    return 0;
}

int Encrypt(const std::vector<std::string>& args) {
    std::optional<std::string> keyPath, inPath, outPath;
    ecccrypt::CryptOptions options;
    if (!ParseOptions(args, {{"--public-key", &keyPath, nullptr},
                             {"--in", &inPath, nullptr},
                             {"--out", &outPath, nullptr},
                             {"--binary", nullptr, &options.binary},
                             {"--progress", nullptr, &options.progress}})) {
        std::fputs(kEncryptUsage, stdout);
        return 0;
    }
    const std::string& keyName = Required(keyPath, "--public-key");
    const std::string outName = outPath.value_or("-");
    const std::string key = ReadKey(keyName, KeyKind::Public, "--public-key");
    if (options.binary && outName == "-" && ::isatty(STDOUT_FILENO)) {
        throw Failure(
            "refusing to write binary ciphertext to a terminal; use --out FILE or redirect "
            "standard output");
    }
    InputFile in(inPath.value_or("-"));
    Output output(outName, DefaultFileMode());
    ecccrypt::EncryptStream(key, in, output, options);
    return 0;
}

int Decrypt(const std::vector<std::string>& args) {
    std::optional<std::string> keyPath, inPath, outPath;
    ecccrypt::CryptOptions options;
    if (!ParseOptions(args, {{"--private-key", &keyPath, nullptr},
                             {"--in", &inPath, nullptr},
                             {"--out", &outPath, nullptr},
                             {"--binary", nullptr, &options.binary},
                             {"--progress", nullptr, &options.progress}})) {
        std::fputs(kDecryptUsage, stdout);
        return 0;
    }
    const std::string& keyName = Required(keyPath, "--private-key");
    std::string key = ReadKey(keyName, KeyKind::Private, "--private-key");
    const WipeOnExit wipeKey(key);
    InputFile in(inPath.value_or("-"));
    Output output(outPath.value_or("-"), DefaultFileMode());
    ecccrypt::DecryptStream(key, in, output, options);
    return 0;
}

int Convert(const std::vector<std::string>& args) {
    std::optional<std::string> toName, inPath, outPath;
    if (!ParseOptions(args, {{"--to", &toName, nullptr},
                             {"--in", &inPath, nullptr},
                             {"--out", &outPath, nullptr}})) {
        std::fputs(kConvertUsage, stdout);
        return 0;
    }
    const KeyFormat format = ParseFormat(Required(toName, "--to"), "--to", true);
    const std::string inName = inPath.value_or("-");
    const std::string outName = outPath.value_or("-");
    if (format == KeyFormat::Der && outName == "-" && ::isatty(STDOUT_FILENO)) {
        throw Failure(
            "refusing to write a DER key to a terminal; use --out FILE or redirect standard "
            "output");
    }
    KeyKind kind;
    std::string der = ReadKeyFile(inName, kind, "");
    const WipeOnExit wipeDer(der);
    std::string content = ecccrypt::EncodeKeyFile(kind, der, format);
    const WipeOnExit wipeContent(content);
    Output output(outName, kind == KeyKind::Private ? 0600 : DefaultFileMode());
    output.Write(content.data(), content.size());
    output.Commit();
    return 0;
}

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>& args);
};

const Command kCommands[] = {
    {"keygen", kKeygenUsage, Keygen},
    {"encrypt", kEncryptUsage, Encrypt},
    {"decrypt", kDecryptUsage, Decrypt},
    {"convert", kConvertUsage, Convert},
};

void PrintError(const Command* command, const char* why) {
    std::fprintf(stderr, "ecc-crypt: %s%s%s\n", command ? command->name : "", command ? ": " : "",
                 why);
}

}  // namespace

int main(int argc, char** argv) {
    const Command* command = nullptr;
    ecccrypt::RemoveTemporariesOnSignals();
    try {
        const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
        if (args.empty()) throw UsageError("no command given");
        const std::string& first = args.front();
        if (first == "--help" || first == "-h" || first == "help") {
            std::fputs(kToolUsage, stdout);
            return 0;
        }
        if (first == "--version") {
            std::printf("ecc-crypt %s\n", ECC_CRYPT_VERSION);
            return 0;
        }
        for (const Command& c : kCommands) {
            if (first == c.name) command = &c;
        }
        if (command == nullptr) throw UsageError("unknown command '" + first + "'");
        const int status = command->run(std::vector<std::string>(args.begin() + 1, args.end()));
        if (std::fflush(stdout) != 0) throw Failure("cannot write standard output");
        return status;
    } catch (const UsageError& e) {
        PrintError(command, e.what());
        std::fputs("\n", stderr);
        std::fputs(command ? command->usage : kToolUsage, stderr);
        return 2;
    } catch (const std::bad_alloc&) {
        PrintError(command, "out of memory");
    } catch (const std::exception& e) {
        PrintError(command, e.what());
    }
    return 1;
}
