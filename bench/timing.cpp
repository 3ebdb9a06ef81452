// ecc_timing [--measurements N]: does the time of a private-key operation depend on the private
// value? A leakage test in the manner of dudect (Reparaz, Balasch, Verbauwhede, "Dude, is my
// code constant time?", 2017).
//
// For each operation the program takes N measurements (default 100000) of each of two classes
// of private value, in batches whose classes are shuffled, so that a change of the machine's
// load falls on both classes alike:
//   class A  one fixed value of short, low-weight form: 2^128 + 1
//   class B  a fresh random value in 1..n-1 for every measurement
// Operations:
//   decrypt       EccEncryption::DecryptMessage; every measurement gets a fresh ciphertext of a
//                 32-byte message, made for its key before the clock starts
//   public-point  the public point as GenerateEccKeys computes it, (d + r*n)*G
//   control       the unblinded multiplication, Crypto++'s ExponentiateElement with d on a
//                 fixed point: it must show the leak, or the test could not see one
// For each operation it prints the class means and Welch's t over all measurements, and, as
// dudect does, over the measurements below each of 100 percentile thresholds (cropping the slow
// tails that interrupts and other processes add), with the largest |t| among them. |t| above
// about 4.5 means the two classes' times differ. This is a measurement: it exits 0 whatever t
// is, and 1 only when it cannot run (bad arguments, an operation that fails). A t shown as nan
// is one whose crop holds fewer than two measurements of a class.
#include <eccencryption/EccEncryption.h>

#include <cryptopp/eccrypto.h>
#include <cryptopp/hex.h>
#include <cryptopp/nbtheory.h>
#include <cryptopp/oids.h>
#include <cryptopp/osrng.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "../core/Blinding.h"

namespace {

using CryptoPP::byte;
using CryptoPP::ECP;
using CryptoPP::Integer;
using Params = CryptoPP::DL_GroupParameters_EC<ECP>;
using Scheme = CryptoPP::ECIES<ECP>;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kBatch = 1000;  // measurements per batch, half of each class
constexpr std::size_t kMessageSize = 32;
constexpr int kPercentiles = 100;

// The stock encryptor with the scheme's key derivation and XOR-and-MAC objects in reach, to
// build a ciphertext from a chosen shared point.
class Encryptor : public Scheme::Encryptor {
  public:
    using Scheme::Encryptor::GetKeyDerivationAlgorithm;
    using Scheme::Encryptor::GetSymmetricEncryptionAlgorithm;
};

Params P256() {
    Params params(CryptoPP::ASN1::secp256r1());
    params.SetPointCompression(false);
    params.SetEncodeAsOID(true);
    return params;
}

std::string PrivateKeyText(const Params& params, const Integer& d) {
    CryptoPP::DL_PrivateKey_EC<ECP> key;
    key.Initialize(params, d);
    std::string text;
    CryptoPP::HexEncoder encoder(new CryptoPP::StringSink(text));
    key.DEREncode(encoder);
    encoder.MessageEnd();
    return text;
}

// Makes the inputs of the measurements: private values of each class, their key texts and
// ciphertexts for them.
class Inputs {
  public:
    Inputs() : params_(P256()), fixed_(Integer::Power2(128) + Integer::One()) {
        // Precomputed multiples of G make the ciphertexts quick to build; the measured
        // operations use parameters without them, as the library's do.
        params_.Precompute();
        fixedText_ = PrivateKeyText(params_, fixed_);
    }

    const Params& Group() const { return params_; }

    // Value returns the private value of a measurement of class |b|.
    Integer Value(bool b) {
        return b ? Integer(rng_, Integer::One(), params_.GetSubgroupOrder() - 1) : fixed_;
    }

    std::string KeyText(bool b, const Integer& d) const {
        return b ? PrivateKeyText(params_, d) : fixedText_;
    }

    // Ciphertext returns a fresh ciphertext of a 32-byte message for the private value |d|:
    // ephemeral point E = x*G and shared point (x*d)*G = x*(d*G), with the scheme's own key
    // derivation and XOR-and-MAC objects.
    std::string Ciphertext(const Integer& d) {
        const Integer& n = params_.GetSubgroupOrder();
        const Integer x(rng_, Integer::One(), n - 1);
        const ECP::Point e = params_.ExponentiateBase(x);
        const ECP::Point z = params_.ExponentiateBase(a_times_b_mod_c(x, d, n));
        const CryptoPP::DL_SymmetricEncryptionAlgorithm& symmetric =
            encryptor_.GetSymmetricEncryptionAlgorithm();
        const std::size_t pointSize = params_.GetEncodedElementSize(true);
        CryptoPP::SecByteBlock key(symmetric.GetSymmetricKeyLength(kMessageSize));
        encryptor_.GetKeyDerivationAlgorithm().Derive(params_, key, key.size(), z, e,
                                                      CryptoPP::g_nullNameValuePairs);
        std::string out(pointSize + symmetric.GetSymmetricCiphertextLength(kMessageSize), '\0');
        auto* bytes = reinterpret_cast<byte*>(&out[0]);
        params_.EncodeElement(true, e, bytes);
        symmetric.SymmetricEncrypt(rng_, key, reinterpret_cast<const byte*>(kMessage), kMessageSize,
                                   bytes + pointSize, CryptoPP::g_nullNameValuePairs);
        return out;
    }

    static constexpr char kMessage[kMessageSize + 1] = "thirty-two bytes of message text";

  private:
    Params params_;
    Integer fixed_;
    std::string fixedText_;
    CryptoPP::AutoSeededRandomPool rng_;
    Encryptor encryptor_;
};

// Welford's running mean and variance.
struct Moments {
    double n = 0, mean = 0, m2 = 0;
    void Add(double x) {
        n += 1;
        const double delta = x - mean;
        mean += delta / n;
        m2 += delta * (x - mean);
    }
    double Variance() const { return n > 1 ? m2 / (n - 1) : 0; }
};

// WelchT is Welch's t of two classes; NaN when a class has fewer than two measurements (below
// a low threshold when one class is much faster than the other).
double WelchT(const Moments& a, const Moments& b) {
    const double se = std::sqrt(a.Variance() / a.n + b.Variance() / b.n);
    return a.n < 2 || b.n < 2 || !(se > 0) ? std::nan("") : (a.mean - b.mean) / se;
}

struct Sample {
    bool classB;
    double ns;
};

// Report prints the statistics of one operation's samples.
void Report(const char* name, const std::vector<Sample>& samples) {
    std::vector<double> sorted;
    sorted.reserve(samples.size());
    for (const Sample& s : samples) sorted.push_back(s.ns);
    std::sort(sorted.begin(), sorted.end());

    // Thresholds as dudect takes them: 1 - 0.5^(10 (i + 1) / 100), from the 7th percentile to
    // the 99.9th, denser towards the slow tail. Index kPercentiles stands for no cropping.
    std::array<double, kPercentiles + 1> threshold;
    std::array<double, kPercentiles + 1> fraction;
    for (int i = 0; i < kPercentiles; ++i) {
        fraction[i] = 1 - std::pow(0.5, 10.0 * (i + 1) / kPercentiles);
        threshold[i] = sorted[static_cast<std::size_t>(fraction[i] * (sorted.size() - 1))];
    }
    fraction[kPercentiles] = 1;
    threshold[kPercentiles] = sorted.back();

    std::array<std::array<Moments, 2>, kPercentiles + 1> moments{};
    for (const Sample& s : samples) {
        for (int i = 0; i <= kPercentiles; ++i) {
            if (s.ns <= threshold[i]) moments[i][s.classB].Add(s.ns);
        }
    }
    auto t = [&](int i) { return WelchT(moments[i][0], moments[i][1]); };
    int worst = kPercentiles;
    for (int i = 0; i <= kPercentiles; ++i) {
        if (!std::isnan(t(i)) && std::fabs(t(i)) > std::fabs(t(worst))) worst = i;
    }
    auto at = [&](double f) {
        int best = 0;
        for (int i = 0; i < kPercentiles; ++i) {
            if (std::fabs(fraction[i] - f) < std::fabs(fraction[best] - f)) best = i;
        }
        return t(best);
    };
    const Moments& all0 = moments[kPercentiles][0];
    const Moments& all1 = moments[kPercentiles][1];
    std::printf("%-13s %8.0f %8.0f %8.0f %8.1f %8.1f %8.1f %8.1f %8.1f  (%.1f%%)  %s\n", name,
                all0.n, all0.mean / 1000, all1.mean / 1000, t(kPercentiles), at(0.5), at(0.9),
                at(0.99), t(worst), 100 * fraction[worst],
                std::fabs(t(worst)) < 4.5 ? "no difference found" : "DIFFERENT");
    std::fflush(stdout);
}

// Measure runs |measurements| calls of each class, |prepare| making the inputs of a batch
// before and |run| being timed, and reports them. |prepare(i, classB)| gets the index within
// the batch; |run(i)| returns false when the operation failed.
bool Measure(const char* name, std::size_t measurements,
             const std::function<void(std::size_t, bool)>& prepare,
             const std::function<bool(std::size_t)>& run) {
    std::mt19937_64 order(std::random_device{}());
    std::vector<Sample> samples;
    samples.reserve(2 * measurements);
    std::vector<bool> classes(kBatch);
    // The first batch warms caches and branch predictors and is not counted; dudect, too,
    // drops its first measurements.
    bool warmUp = true;
    for (std::size_t done = 0; done < measurements;) {
        const std::size_t half = warmUp ? kBatch / 2 : std::min(kBatch / 2, measurements - done);
        classes.assign(2 * half, false);
        std::fill(classes.begin() + static_cast<std::ptrdiff_t>(half), classes.end(), true);
        std::shuffle(classes.begin(), classes.end(), order);
        for (std::size_t i = 0; i < classes.size(); ++i) prepare(i, classes[i]);
        for (std::size_t i = 0; i < classes.size(); ++i) {
            const auto start = Clock::now();
            const bool ok = run(i);
            const auto stop = Clock::now();
            if (!ok) {
                std::fprintf(stderr, "ecc_timing: the %s operation failed\n", name);
                return false;
            }
            if (!warmUp) {
                samples.push_back(
                    {classes[i], std::chrono::duration<double, std::nano>(stop - start).count()});
            }
        }
        if (warmUp) {
            warmUp = false;
        } else {
            done += half;
        }
    }
    Report(name, samples);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t measurements = 100000;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
            continue;
        }
        if ((arg == "--measurements" || arg == "-n") && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long long value = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0' || value < 2) {
                std::fprintf(stderr, "ecc_timing: --measurements needs a whole number from 2 on\n");
                return 1;
            }
            measurements = static_cast<std::size_t>(value);
        } else if (arg == "--help" || arg == "-h") {
            std::printf(
                "usage: ecc_timing [--measurements N] [--only decrypt|public-point|control]\n"
                "  N measurements per class and operation, default 100000\n");
            return 0;
        } else {
            std::fprintf(stderr, "ecc_timing: unknown argument '%s' (see --help)\n", arg.c_str());
            return 1;
        }
    }

    Inputs inputs;
    std::vector<Integer> values(kBatch);
    std::vector<std::string> keys(kBatch), ciphertexts(kBatch);
    std::string message;
    const Params plain = P256();  // no precomputation, like the library's parameters
    CryptoPP::AutoSeededRandomPool rng;
    const ECP::Point fixedPoint = inputs.Group().ExponentiateBase(Integer(rng, 1, 1000000));

    std::printf("%zu measurements per class; class A: d = 2^128 + 1, class B: random d\n",
                measurements);
    std::printf("%-13s %8s %8s %8s %8s %8s %8s %8s %8s  %s\n", "operation", "n/class", "A us",
                "B us", "t all", "t p50", "t p90", "t p99", "max |t|", "(crop)");

    const auto skip = [&](const char* name) { return !only.empty() && only != name; };
    const bool ok =
        (skip("decrypt") ||
         Measure(
             "decrypt", measurements,
             [&](std::size_t i, bool b) {
                 values[i] = inputs.Value(b);
                 keys[i] = inputs.KeyText(b, values[i]);
                 ciphertexts[i] = inputs.Ciphertext(values[i]);
             },
             [&](std::size_t i) {
                 const auto status = EccEncryption::DecryptMessage(
                     keys[i], reinterpret_cast<const unsigned char*>(ciphertexts[i].data()),
                     ciphertexts[i].size(), message);
                 return status == EccEncryption::Status::Ok && message == Inputs::kMessage;
             })) &&
        (skip("public-point") ||
         Measure(
             "public-point", measurements,
             [&](std::size_t i, bool b) { values[i] = inputs.Value(b); },
             [&](std::size_t i) {
                 return !eccencryption::BlindedPublicPoint(plain, values[i], rng).identity;
             })) &&
        (skip("control") ||
         Measure(
             "control", measurements, [&](std::size_t i, bool b) { values[i] = inputs.Value(b); },
             [&](std::size_t i) {
                 return !plain.ExponentiateElement(fixedPoint, values[i]).identity;
             }));
    return ok ? 0 : 1;
}
