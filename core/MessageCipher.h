// The symmetric part of the library's ECIES profile, for one message at a time and in pieces:
// KDF2 over SHA-1 for the key material, the message XOR the key stream, HMAC-SHA-1 for the tag.
//
// Header-only, so that the tests and fuzz targets compare the very code the library runs with
// Crypto++'s own P1363_KDF2<SHA1>.
#ifndef ECCENCRYPTION_CORE_MESSAGECIPHER_H
#define ECCENCRYPTION_CORE_MESSAGECIPHER_H

#include <cryptopp/hmac.h>
#include <cryptopp/misc.h>
#include <cryptopp/secblock.h>
#include <cryptopp/sha.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace eccencryption {

using CryptoPP::byte;
using CryptoPP::word32;

// Kdf2Sha1 yields the output of KDF2 (IEEE P1363) over SHA-1 for a shared secret Z without
// derivation parameters, SHA-1(Z || 1) || SHA-1(Z || 2) || ... with a 32-bit big-endian counter,
// in order and in pieces of any size: the bytes of Crypto++'s P1363_KDF2<SHA1>.
//
// The whole 64-byte blocks at the start of Z are the same for every counter, so they are
// compressed once; each 20 bytes of output then cost the compression of the last block alone
// (the rest of Z, the counter and the padding; two blocks when the rest of Z is longer than 51
// bytes). For the 97 bytes of a P-256 secret that is one compression instead of two, and none of
// the stock function's per-block filter overhead. A Z shorter than a block simply has no
// precompressed part.
//
// The blocks of different counters do not depend on each other, so they are made kLanes at a
// time from separate buffers: the processor then overlaps their compressions (measured with
// SHA-1 instructions: 23 ns a block four at a time, 40 ns one at a time).
class Kdf2Sha1 {
  public:
    static constexpr std::size_t kDigestSize = 20;
    // The counter is 32 bits wide and starts at 1; one more block would wrap it and repeat the
    // key stream from its start.
    static constexpr std::uint64_t kMaxOutput = std::uint64_t{0xFFFFFFFF} * kDigestSize;

    Kdf2Sha1(const byte* z, std::size_t size) {
        CryptoPP::SHA1::InitState(prefix_);
        const std::size_t whole = size / kBlockSize;
        for (std::size_t i = 0; i < whole; ++i) {
            LoadBlock(z + i * kBlockSize, tail_);
            CryptoPP::SHA1::Transform(prefix_, tail_);
        }
        const std::size_t rest = size % kBlockSize;
        tailBlocks_ = rest + 4 + 1 + 8 <= kBlockSize ? 1 : 2;
        CryptoPP::FixedSizeSecBlock<byte, 2 * kBlockSize> tail;
        std::memset(tail, 0, tail.size());
        if (rest != 0) std::memcpy(tail, z + whole * kBlockSize, rest);
        counterAt_ = rest;
        tail[rest + 4] = 0x80;
        CryptoPP::PutWord(false, CryptoPP::BIG_ENDIAN_ORDER, tail + tailBlocks_ * kBlockSize - 8,
                          static_cast<CryptoPP::word64>(size + 4) * 8);
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            for (std::size_t b = 0; b < tailBlocks_; ++b) {
                LoadBlock(tail + b * kBlockSize, Tail(lane) + b * kBlockWords);
            }
        }
    }

    // Generate writes the next |size| bytes of output to |out|. The caller keeps the total
    // within kMaxOutput.
    void Generate(byte* out, std::size_t size) {
        if (size == 0) return;
        const std::size_t held = std::min(size, kGroupSize - used_);
        std::memcpy(out, group_ + used_, held);
        used_ += held;
        out += held;
        size -= held;
        for (; size >= kGroupSize; out += kGroupSize, size -= kGroupSize) NextGroup(out);
        if (size > 0) {
            NextGroup(group_);
            std::memcpy(out, group_, size);
            used_ = size;
        }
    }

  private:
    static constexpr std::size_t kBlockSize = 64;
    static constexpr std::size_t kBlockWords = kBlockSize / 4;
    static constexpr std::size_t kLanes = 4;
    static constexpr std::size_t kGroupSize = kLanes * kDigestSize;

    word32* Tail(std::size_t lane) { return tail_ + lane * 2 * kBlockWords; }

    // SHA1::Transform takes the block as words already in the machine's order.
    static void LoadBlock(const byte* bytes, word32* words) {
        for (std::size_t i = 0; i < kBlockWords; ++i) {
            words[i] = CryptoPP::GetWord<word32>(false, CryptoPP::BIG_ENDIAN_ORDER, bytes + 4 * i);
        }
    }

    // NextGroup writes the next kLanes output blocks to |out|.
    void NextGroup(byte* out) {
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            // The counter's four bytes, big-endian, at counterAt_ of the tail's byte stream.
            word32* tail = Tail(lane);
            for (std::size_t k = 0; k < 4; ++k) {
                const std::size_t at = counterAt_ + k;
                const unsigned shift = 24 - 8 * static_cast<unsigned>(at % 4);
                const word32 value = (counter_ >> (24 - 8 * k)) & 0xFF;
                tail[at / 4] = (tail[at / 4] & ~(word32{0xFF} << shift)) | (value << shift);
            }
            ++counter_;
            std::memcpy(state_ + lane * 5, prefix_, sizeof(word32) * 5);
        }
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            CryptoPP::SHA1::Transform(state_ + lane * 5, Tail(lane));
        }
        if (tailBlocks_ == 2) {
            for (std::size_t lane = 0; lane < kLanes; ++lane) {
                CryptoPP::SHA1::Transform(state_ + lane * 5, Tail(lane) + kBlockWords);
            }
        }
        for (std::size_t i = 0; i < kLanes * 5; ++i) {
            CryptoPP::PutWord(false, CryptoPP::BIG_ENDIAN_ORDER, out + 4 * i, state_[i]);
        }
    }

    // SecBlocks, so that the secret's state and every output block are wiped at the end.
    CryptoPP::FixedSizeSecBlock<word32, 5> prefix_;
    CryptoPP::FixedSizeSecBlock<word32, kLanes * 5> state_;
    CryptoPP::FixedSizeSecBlock<word32, kLanes * 2 * kBlockWords> tail_;
    CryptoPP::FixedSizeSecBlock<byte, kGroupSize> group_;
    std::size_t tailBlocks_ = 1;
    std::size_t counterAt_ = 0;
    std::size_t used_ = kGroupSize;  // bytes of group_ already handed out
    word32 counter_ = 1;
};

// MessageCipher encrypts or decrypts one message in pieces of any size. Its key material is
// Kdf2Sha1 of the shared secret: 16 bytes of HMAC-SHA-1 key, then the key stream, one byte per
// message byte. The tag is HMAC-SHA-1 over the masked message and an 8-byte length block that
// holds the bit length of the (empty) encoding parameters, eight zero bytes.
//
// One pass over the data: each piece of key stream is derived into a buffer of at most kPiece
// bytes, used for the data's piece (masking and authentication while both are in the cache)
// and overwritten by the next, so no key stream of the message's size is ever made.
class MessageCipher {
  public:
    static constexpr std::size_t kMacKeySize = 16;
    static constexpr std::size_t kTagSize = 20;
    static constexpr std::uint64_t kMaxMessage = Kdf2Sha1::kMaxOutput - kMacKeySize;

    MessageCipher(const byte* secret, std::size_t size) : kdf_(secret, size) {
        CryptoPP::FixedSizeSecBlock<byte, kMacKeySize> key;
        kdf_.Generate(key, key.size());
        mac_.SetKey(key, key.size());
    }

    // Encrypt masks |size| message bytes from |in| into |out| (which may be |in|); Decrypt
    // unmasks masked bytes the same way. Both return false, and do nothing, when the message
    // would grow beyond kMaxMessage bytes.
    bool Encrypt(const byte* in, byte* out, std::size_t size) {
        return Process(in, out, size, true);
    }
    bool Decrypt(const byte* in, byte* out, std::size_t size) {
        return Process(in, out, size, false);
    }

    // Tag writes the message's 20-byte tag; Verify compares it with |tag| in constant time.
    // Either ends the message.
    void Tag(byte* tag) {
        AddLengthBlock();
        mac_.Final(tag);
    }
    bool Verify(const byte* tag) {
        AddLengthBlock();
        return mac_.Verify(tag);
    }

  private:
    static constexpr std::size_t kPiece = 16 * 1024;

    bool Process(const byte* in, byte* out, std::size_t size, bool encrypt) {
        if (size > kMaxMessage - length_) return false;
        length_ += size;
        if (stream_.size() < std::min(size, kPiece)) stream_.New(std::min(size, kPiece));
        while (size > 0) {
            const std::size_t n = std::min(size, stream_.size());
            kdf_.Generate(stream_, n);
            if (!encrypt) mac_.Update(in, n);
            CryptoPP::xorbuf(out, in, stream_, n);
            if (encrypt) mac_.Update(out, n);
            in += n;
            out += n;
            size -= n;
        }
        return true;
    }

    void AddLengthBlock() {
        static constexpr byte kLengthBlock[8] = {};
        mac_.Update(kLengthBlock, sizeof kLengthBlock);
    }

    Kdf2Sha1 kdf_;
    CryptoPP::HMAC<CryptoPP::SHA1> mac_;
    CryptoPP::SecByteBlock stream_;
    std::uint64_t length_ = 0;
};

}  // namespace eccencryption

#endif  // ECCENCRYPTION_CORE_MESSAGECIPHER_H
