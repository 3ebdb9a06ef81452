// Scalar blinding of every multiplication by a private value, and wiping of the library's own
// buffers that held secrets.
//
// Crypto++'s scalar multiplication takes time that depends on the bits of the scalar (its
// length, its number of non-zero windows) and reads a table of multiples indexed by its digits.
// Multiplying by d + r*n instead of d, with n the order of the base point and r fresh random
// for every call, gives the same point for every point of the prime-order subgroup (n*P is the
// identity there), while the bits the multiplication sees are random and new each time.
//
// Header-only, so that the timing program in bench/ measures the very code the library runs.
#ifndef ECCENCRYPTION_CORE_BLINDING_H
#define ECCENCRYPTION_CORE_BLINDING_H

#include <cryptopp/eccrypto.h>
#include <cryptopp/integer.h>
#include <cryptopp/misc.h>

#include <string>

namespace eccencryption {

// Bits of randomness in the blinding multiplier r. The order of P-256 has a special form (its
// upper 128 bits are FFFFFFFF00000000FFFFFFFFFFFFFFFF), so r*n holds shifted copies of r there
// and mixes r with the irregular lower half of n only across r's own width. With a 64-bit r the
// upper digits of d + r*n stay simple functions of r and d, and the average number of point
// additions still depends on d (measured: |t| of about 8 for a fixed d against random ones, see
// docs/robustness.md). From 96 bits on no difference was found; every further bit lengthens
// the multiplication by about 0.4 %, and decryption must stay cheaper than the stock
// decryptor's double multiplication, so r has 96 bits.
constexpr unsigned int kBlindingBits = 96;

// BlindedExponent returns d + r*n, where r is 2^96 plus a random 96-bit value from |rng|. The
// fixed top bit gives every blinded value the same length (that of n plus 97 bits), so neither
// the length of d nor that of r shows in the number of doublings. Throws whatever |rng| throws;
// the Integers involved wipe their storage when released.
inline CryptoPP::Integer BlindedExponent(const CryptoPP::Integer& d, const CryptoPP::Integer& n,
                                         CryptoPP::RandomNumberGenerator& rng) {
    CryptoPP::Integer r;
    r.Randomize(rng, kBlindingBits);
    r.SetBit(kBlindingBits);
    return d + r * n;
}

// BlindedPublicPoint returns d*G for the base point G of |params|, computed as (d + r*n)*G.
inline CryptoPP::ECP::Point BlindedPublicPoint(
    const CryptoPP::DL_GroupParameters_EC<CryptoPP::ECP>& params, const CryptoPP::Integer& d,
    CryptoPP::RandomNumberGenerator& rng) {
    return params.ExponentiateBase(BlindedExponent(d, params.GetSubgroupOrder(), rng));
}

// WipeString overwrites all of |s|'s storage, its spare capacity included (where an earlier,
// longer content may remain), in a way the compiler cannot drop, and leaves |s| empty with its
// storage still allocated.
inline void WipeString(std::string& s) noexcept {
    // Resizing within the capacity allocates nothing.
    s.resize(s.capacity());
    CryptoPP::SecureWipeBuffer(reinterpret_cast<CryptoPP::byte*>(&s[0]), s.size());
    s.clear();
}

// WipedString wipes a string that holds a secret when it goes out of scope, on every path out.
class WipedString {
  public:
    explicit WipedString(std::string& s) noexcept : s_(s) {}
    ~WipedString() { WipeString(s_); }
    WipedString(const WipedString&) = delete;
    WipedString& operator=(const WipedString&) = delete;

  private:
    std::string& s_;
};

}  // namespace eccencryption

#endif  // ECCENCRYPTION_CORE_BLINDING_H
