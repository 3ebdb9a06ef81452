// ecc_percall OPERATION SIZE COUNT: runs one operation COUNT times on a SIZE-byte message, for
// instruction counts under callgrind. Only the calls inside MeasuredCalls are of interest:
//   valgrind --tool=callgrind --toggle-collect='MeasuredCalls*' ecc_percall ours-decrypt 1024 10
// OPERATION is ours-<op> or baseline-<op>, op one of keygen, encrypt, decrypt, decrypt-bytes;
// or none, which only makes the inputs.
// Key generation and encryption draw random scalars, whose bit patterns change the count a
// little: take COUNT of 10 or more for them.
#include <eccencryption/EccEncryption.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "Baseline.h"

namespace {

struct Inputs {
    std::string privateKey, publicKey, message, ciphertext, ciphertextText;
};

bool RunOnce(const std::string& op, const Inputs& in) {
    std::string a, b;
    if (op == "none") return true;  // the inputs alone, as a reference for heap measurements
    if (op == "ours-keygen") {
        EccEncryption::GenerateEccKeys(32, a, b);
        return a.size() == 134;
    }
    if (op == "baseline-keygen") {
        baseline::GenerateKeys(32, a, b);
        return a.size() == 134;
    }
    if (op == "ours-encrypt") return EccEncryption::Encrypt(in.publicKey, in.message, a) != 0;
    if (op == "baseline-encrypt") {
        baseline::Encrypt(in.publicKey, in.message, a);
        return a.size() == in.ciphertext.size();
    }
    if (op == "ours-decrypt")
        return EccEncryption::Decrypt(in.privateKey, in.ciphertextText) == in.message;
    if (op == "baseline-decrypt") {
        return baseline::Decrypt(in.privateKey, in.ciphertextText, a) && a == in.message;
    }
    if (op == "ours-decrypt-bytes") {
        return EccEncryption::DecryptMessage(
                   in.privateKey, reinterpret_cast<const unsigned char*>(in.ciphertext.data()),
                   in.ciphertext.size(), a) == EccEncryption::Status::Ok;
    }
    if (op == "baseline-decrypt-bytes")
        return baseline::DecryptBytes(in.privateKey, in.ciphertext, a);
    std::fprintf(stderr, "ecc_percall: unknown operation %s\n", op.c_str());
    std::exit(2);
}

// Not inlined, so that callgrind can switch collection on and off at its entry and exit.
__attribute__((noinline)) bool MeasuredCalls(const std::string& op, const Inputs& in, long count) {
    bool ok = true;
    for (long i = 0; i < count; ++i) ok = RunOnce(op, in) && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: ecc_percall OPERATION SIZE COUNT\n");
        return 2;
    }
    const std::string op = argv[1];
    Inputs in;
    // A fixed key pair, so that decryption counts repeat from run to run.
    in.publicKey =
        "3059301306072A8648CE3D020106082A8648CE3D03010703420004295C479A7B5043679F53CB71918D07C2"
        "0904BA78DA244DCAE36DFFBD9B529C2748B922F5AA9FB64AB152AF5FB0C848CAAD6D259C931E150A1D8B3A"
        "5D556E5AC3";
    in.privateKey =
        "3041020100301306072A8648CE3D020106082A8648CE3D030107042730250201010420FEA90B12735E51A4"
        "4A538B11AEA3D86161594CD15CAA2412A9DAE02BB9E23762";
    in.message.resize(std::strtoul(argv[2], nullptr, 10));
    std::mt19937 gen(1);
    for (char& c : in.message) c = static_cast<char>(gen());
    EccEncryption::Encrypt(in.publicKey, in.message, in.ciphertext);
    in.ciphertextText = baseline::ToHex(in.ciphertext);
    // One call outside the measurement, so that Crypto++'s one-time set-up is not counted.
    if (!RunOnce(op, in) || !MeasuredCalls(op, in, std::strtol(argv[3], nullptr, 10))) {
        std::fprintf(stderr, "ecc_percall: %s failed\n", op.c_str());
        return 1;
    }
    return 0;
}
