// Benchmarks of the library's operations, each next to a baseline that does the same work with
// Crypto++ the plain way, so every figure is read as a ratio taken in one run:
//   Ours/...      EccEncryption and ZEL::String
//   Baseline/...  hex key text through HexDecoder and BERDecode, the stock ECIES<ECP> encryptor
//                 or decryptor, AutoSeededRandomPool
// Sizes are message bytes. Set-up (keys, messages, ciphertexts) happens outside the timed loops.
#include <eccencryption/EccEncryption.h>
#include <eccencryption/ZelString.h>

#include <benchmark/benchmark.h>

#include "Baseline.h"

#include <cryptopp/filters.h>
#include <cryptopp/hex.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kKiB = 1024;
constexpr std::int64_t kMiB = 1024 * kKiB;
constexpr unsigned int kSeedBytes = 32;

std::string RandomBytes(std::size_t size) {
    std::mt19937_64 gen(size);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(gen());
    return bytes;
}

// One key pair and, per message size, a message and its ciphertext, made once per process.
struct Fixture {
    std::string privateKey, publicKey;
    Fixture() { EccEncryption::GenerateEccKeys(kSeedBytes, privateKey, publicKey); }

    static const Fixture& Get() {
        static const Fixture fixture;
        return fixture;
    }
};

struct Case {
    std::string message, ciphertext, ciphertextText;
    explicit Case(std::size_t size) : message(RandomBytes(size)) {
        EccEncryption::Encrypt(Fixture::Get().publicKey, message, ciphertext);
        ciphertextText = baseline::ToHex(ciphertext);
    }
};

const Case& CaseOfSize(std::int64_t size) {
    static const Case cases[] = {Case(0), Case(kKiB), Case(64 * kKiB), Case(kMiB), Case(64 * kMiB)};
    for (const Case& c : cases) {
        if (c.message.size() == static_cast<std::size_t>(size)) return c;
    }
    std::abort();
}

void SizeArgs(benchmark::internal::Benchmark* b) {
    for (const std::int64_t size : {std::int64_t{0}, kKiB, 64 * kKiB, kMiB, 64 * kMiB})
        b->Arg(size);
}

void ThreadArgs(benchmark::internal::Benchmark* b) {
    b->Arg(kKiB)->Threads(1)->Threads(2)->UseRealTime();
}

void SetFailed(benchmark::State& state, const char* what) {
    state.SkipWithError(what);
}

// --- key generation ---

void Ours_GenerateEccKeys(benchmark::State& state) {
    std::string privateKey, publicKey;
    for (auto _ : state) {
        EccEncryption::GenerateEccKeys(kSeedBytes, privateKey, publicKey);
        benchmark::DoNotOptimize(privateKey.data());
    }
    if (privateKey.size() != 134) SetFailed(state, "key generation failed");
}

void Baseline_GenerateEccKeys(benchmark::State& state) {
    std::string privateKey, publicKey;
    for (auto _ : state) {
        baseline::GenerateKeys(kSeedBytes, privateKey, publicKey);
        benchmark::DoNotOptimize(privateKey.data());
    }
}

// --- encryption ---

void Ours_Encrypt(benchmark::State& state) {
    const Fixture& f = Fixture::Get();
    const Case& c = CaseOfSize(state.range(0));
    std::string out;
    for (auto _ : state) {
        if (EccEncryption::Encrypt(f.publicKey, c.message, out) == 0) {
            SetFailed(state, "encryption failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Baseline_Encrypt(benchmark::State& state) {
    const Fixture& f = Fixture::Get();
    const Case& c = CaseOfSize(state.range(0));
    std::string out;
    for (auto _ : state) {
        baseline::Encrypt(f.publicKey, c.message, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- decryption of ciphertext text (the Decrypt operation) ---

void Ours_Decrypt(benchmark::State& state) {
    const Fixture& f = Fixture::Get();
    const Case& c = CaseOfSize(state.range(0));
    for (auto _ : state) {
        std::string message = EccEncryption::Decrypt(f.privateKey, c.ciphertextText);
        if (message.size() != c.message.size()) {
            SetFailed(state, "decryption failed");
            break;
        }
        benchmark::DoNotOptimize(message.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Baseline_Decrypt(benchmark::State& state) {
    const Fixture& f = Fixture::Get();
    const Case& c = CaseOfSize(state.range(0));
    for (auto _ : state) {
        std::string message;
        if (!baseline::Decrypt(f.privateKey, c.ciphertextText, message)) {
            SetFailed(state, "decryption failed");
            break;
        }
        benchmark::DoNotOptimize(message.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- decryption of ciphertext bytes: the same comparison without the hex conversion ---

void Ours_DecryptBytes(benchmark::State& state) {
    const Fixture& f = Fixture::Get();
    const Case& c = CaseOfSize(state.range(0));
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.ciphertext.data());
    for (auto _ : state) {
        std::string message;
        if (EccEncryption::DecryptMessage(f.privateKey, bytes, c.ciphertext.size(), message) !=
            EccEncryption::Status::Ok) {
            SetFailed(state, "decryption failed");
            break;
        }
        benchmark::DoNotOptimize(message.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Baseline_DecryptBytes(benchmark::State& state) {
    const Fixture& f = Fixture::Get();
    const Case& c = CaseOfSize(state.range(0));
    for (auto _ : state) {
        std::string message;
        if (!baseline::DecryptBytes(f.privateKey, c.ciphertext, message)) {
            SetFailed(state, "decryption failed");
            break;
        }
        benchmark::DoNotOptimize(message.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- hex conversion: 1 MiB of text; bytes processed count characters of text ---

template <typename Char>
std::basic_string<Char> HexText() {
    const std::string narrow = baseline::ToHex(RandomBytes(kMiB / 2));
    return std::basic_string<Char>(narrow.begin(), narrow.end());
}

template <typename Char>
void Ours_Hex2Bin(benchmark::State& state) {
    const std::basic_string<Char> text = HexText<Char>();
    std::vector<unsigned char> bytes(text.size() / 2);
    for (auto _ : state) {
        ZEL::String::Hex2Bin(text.c_str(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void Baseline_HexDecoder(benchmark::State& state) {
    const std::string text = HexText<char>();
    std::vector<unsigned char> bytes(text.size() / 2);
    for (auto _ : state) {
        CryptoPP::StringSource(
            text, true,
            new CryptoPP::HexDecoder(new CryptoPP::ArraySink(bytes.data(), bytes.size())));
        benchmark::DoNotOptimize(bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(Ours_GenerateEccKeys)->Name("Ours/GenerateEccKeys");
BENCHMARK(Baseline_GenerateEccKeys)->Name("Baseline/GenerateEccKeys");
BENCHMARK(Ours_Encrypt)->Name("Ours/Encrypt")->Apply(SizeArgs);
BENCHMARK(Baseline_Encrypt)->Name("Baseline/Encrypt")->Apply(SizeArgs);
BENCHMARK(Ours_Decrypt)->Name("Ours/Decrypt")->Apply(SizeArgs);
BENCHMARK(Baseline_Decrypt)->Name("Baseline/Decrypt")->Apply(SizeArgs);
BENCHMARK(Ours_DecryptBytes)->Name("Ours/DecryptBytes")->Apply(SizeArgs);
BENCHMARK(Baseline_DecryptBytes)->Name("Baseline/DecryptBytes")->Apply(SizeArgs);
BENCHMARK(Ours_Encrypt)->Name("Ours/EncryptThreads")->Apply(ThreadArgs);
BENCHMARK(Baseline_Encrypt)->Name("Baseline/EncryptThreads")->Apply(ThreadArgs);
BENCHMARK(Ours_Decrypt)->Name("Ours/DecryptThreads")->Apply(ThreadArgs);
BENCHMARK(Baseline_Decrypt)->Name("Baseline/DecryptThreads")->Apply(ThreadArgs);
BENCHMARK_TEMPLATE(Ours_Hex2Bin, char)->Name("Ours/Hex2BinNarrow");
BENCHMARK_TEMPLATE(Ours_Hex2Bin, wchar_t)->Name("Ours/Hex2BinWide");
BENCHMARK(Baseline_HexDecoder)->Name("Baseline/HexDecoder");

BENCHMARK_MAIN();
