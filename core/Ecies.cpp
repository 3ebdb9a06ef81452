#include "Ecies.h"

#include <cryptopp/osrng.h>

#include "Blinding.h"

namespace eccencryption {
namespace {

using Status = EccEncryption::Status;
using Params = CryptoPP::DL_GroupParameters_EC<CryptoPP::ECP>;
using Point = CryptoPP::ECP::Point;

// The profile's key agreement: x*P, without cofactor multiplication.
const CryptoPP::DL_KeyAgreementAlgorithm_DH<Point, CryptoPP::NoCofactorMultiplication> kAgreement;

// The cipher of the message whose ephemeral point is |q| and shared point |s|. In DHAES mode
// the secret is the encoded ephemeral point followed by the x-coordinate of the shared point,
// as the profile's key derivation forms it.
std::unique_ptr<MessageCipher> CipherFor(const Params& params, const Point& q, const Point& s) {
    const std::size_t pointSize = params.GetEncodedElementSize(true);
    CryptoPP::SecByteBlock secret(pointSize + params.GetEncodedElementSize(false));
    params.EncodeElement(true, q, secret);
    params.EncodeElement(false, s, secret + pointSize);
    return std::make_unique<MessageCipher>(secret, secret.size());
}

}  // namespace

Status BeginEncryption(const std::string& publicKey, std::string& point,
                       std::unique_ptr<MessageCipher>& cipher) {
    PublicKey key;
    if (!LoadPublicKey(publicKey, key)) return Status::InvalidPublicKey;
    const Params& params = key.GetGroupParameters();
    // A fresh generator seeded by the operating system: the ephemeral scalar must be
    // unpredictable, or anyone could recompute the shared secret.
    CryptoPP::AutoSeededRandomPool rng;
    const CryptoPP::Integer x(rng, CryptoPP::Integer::One(), params.GetMaxExponent());
    const Point q = params.ExponentiateBase(x);
    const Point s =
        kAgreement.AgreeWithEphemeralPrivateKey(params, key.GetPublicPrecomputation(), x);
    std::string encoded(params.GetEncodedElementSize(true), '\0');
    params.EncodeElement(true, q, reinterpret_cast<byte*>(&encoded[0]));
    cipher = CipherFor(params, q, s);
    point.swap(encoded);
    return Status::Ok;
}

Status DecryptionKey::Load(const std::string& privateKey) {
    return LoadPrivateKey(privateKey, key_) ? Status::Ok : Status::InvalidPrivateKey;
}

std::size_t DecryptionKey::PointSize() const {
    return key_.GetGroupParameters().GetEncodedElementSize(true);
}

// The stock decryptor proves that the ephemeral point lies in the prime-order subgroup by
// multiplying it by the subgroup order, together with the multiplication by the private value.
// With cofactor 1 the whole group has prime order, so a point that is on the curve and not the
// identity is in it already: the point is checked directly and only the one multiplication that
// the shared secret needs is made. Other cofactors keep the stock check.
Status DecryptionKey::Begin(const byte* point, std::unique_ptr<MessageCipher>& cipher) const {
    const Params& params = key_.GetGroupParameters();
    // Decryption draws randomness: the private value is blinded (d + r*n, see Blinding.h) with
    // a fresh r from the operating system for each message, so that the time the multiplication
    // takes and the table entries it reads do not depend on d. When the source fails,
    // NonblockingRng throws and the call reports an internal failure; it never falls back to
    // the bare d. Both checks below give the same result with d + r*n as with d, since they
    // multiply only points of the prime-order subgroup by it.
    CryptoPP::NonblockingRng rng;
    const CryptoPP::Integer d =
        BlindedExponent(key_.GetPrivateExponent(), params.GetSubgroupOrder(), rng);
    Point q, s;
    if (params.GetCofactor() == 1) {
        const CryptoPP::ECP& curve = params.GetCurve();
        // DecodePoint accepts only the uncompressed form of the curve's size (or 00, the
        // identity); VerifyPoint checks that both coordinates are below p and satisfy the curve
        // equation.
        if (!curve.DecodePoint(q, point, PointSize()) || q.identity || !curve.VerifyPoint(q)) {
            return Status::AuthenticationFailed;
        }
        s = kAgreement.AgreeWithStaticPrivateKey(params, q, false, d);
    } else {
        try {
            q = params.DecodeElement(point, true);
            s = kAgreement.AgreeWithStaticPrivateKey(params, q, true, d);
        } catch (const CryptoPP::DL_BadElement&) {
            return Status::AuthenticationFailed;
        }
    }
    cipher = CipherFor(params, q, s);
    return Status::Ok;
}

}  // namespace eccencryption
