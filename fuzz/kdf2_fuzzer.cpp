// The library's KDF2-SHA-1 against Crypto++'s P1363_KDF2<SHA1>: any shared secret, any output
// length, drawn in pieces of any sizes, must give the same bytes.
#include <cryptopp/pubkey.h>
#include <cryptopp/sha.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "../core/MessageCipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t outSize = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    // Piece sizes, cycled through; empty pieces included, though never all of them.
    std::vector<std::size_t> cuts;
    for (int i = 0; i < 7; ++i) cuts.push_back(input.ConsumeIntegralInRange<std::size_t>(0, 300));
    cuts.push_back(input.ConsumeIntegralInRange<std::size_t>(1, 300));
    const std::vector<std::uint8_t> z = input.ConsumeRemainingBytes<std::uint8_t>();

    std::vector<std::uint8_t> expected(outSize);
    CryptoPP::P1363_KDF2<CryptoPP::SHA1>::DeriveKey(expected.data(), outSize, z.data(), z.size(),
                                                    nullptr, 0);
    eccencryption::Kdf2Sha1 kdf(z.data(), z.size());
    std::vector<std::uint8_t> out(outSize);
    for (std::size_t at = 0, i = 0; at < outSize; ++i) {
        const std::size_t n = std::min(cuts[i % cuts.size()], outSize - at);
        kdf.Generate(out.data() + at, n);
        at += n;
    }
    if (out != expected) std::abort();
    return 0;
}
