// Streaming ECIES: messages of any length encrypted and decrypted in pieces, in constant memory.
//
// A streamed ciphertext is byte for byte what EccEncryption::Encrypt makes for the same
// ephemeral key: the ephemeral point (Start), the masked message (Update, piece by piece) and
// the 20-byte tag (Finish). Pieces may have any size, zero included; how a message is cut does
// not change its ciphertext. A stream has no 4 GiB limit; a message may hold up to
// 85899345884 bytes (the key derivation's 32-bit counter would wrap beyond that).
//
// DECRYPTED PIECES ARE NOT AUTHENTIC UNTIL FINISH RETURNS Ok. A decryptor hands out each piece
// before the tag that authenticates the whole message has been read; an altered ciphertext
// yields altered pieces. Keep the output where nobody takes it for the message (a temporary
// file, a buffer) until Finish succeeds, and discard it when Finish fails.
//
// Like the rest of the library nothing here throws; every call returns a status. An object
// serves one message at a time and may be started again for the next; it is not for use by
// several threads at once. Every secret it holds is wiped when it ends a message or goes away.
#ifndef ECCENCRYPTION_ECCSTREAM_H
#define ECCENCRYPTION_ECCSTREAM_H

#include <cstddef>
#include <memory>
#include <string>

#include <eccencryption/EccEncryption.h>
#include <eccencryption/eccencryption_export.h>

class ECCENCRYPTION_EXPORT EccEncryption::StreamEncryptor {
  public:
    static constexpr std::size_t kTagSize = 20;

    StreamEncryptor() noexcept;
    ~StreamEncryptor();
    StreamEncryptor(StreamEncryptor&&) noexcept;
    StreamEncryptor& operator=(StreamEncryptor&&) noexcept;

    // Start begins a message for the key in |publicKey| (a public-key text) and replaces |point|
    // with the ephemeral point, the first bytes of the ciphertext (65 for P-256). A message
    // under way is abandoned. On failure |point| is unchanged and no message is under way.
    Status Start(const std::string& publicKey, std::string& point) noexcept;

    // Update masks |size| message bytes from |in| into |out|, the next |size| ciphertext bytes;
    // |out| may be |in|. MessageTooLong (and nothing written) beyond the stream's limit.
    Status Update(const unsigned char* in, std::size_t size, unsigned char* out) noexcept;

    // Finish writes the kTagSize bytes of the tag, the last bytes of the ciphertext, to |tag|
    // and ends the message.
    Status Finish(unsigned char* tag) noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

class ECCENCRYPTION_EXPORT EccEncryption::StreamDecryptor {
  public:
    static constexpr std::size_t kTagSize = 20;

    StreamDecryptor() noexcept;
    ~StreamDecryptor();
    StreamDecryptor(StreamDecryptor&&) noexcept;
    StreamDecryptor& operator=(StreamDecryptor&&) noexcept;

    // SetKey loads |privateKey| (a private-key text) for the messages that follow. A message
    // under way is abandoned.
    Status SetKey(const std::string& privateKey) noexcept;

    // PointSize is the number of bytes the ephemeral point takes at the start of a ciphertext
    // for the loaded key (65 for P-256); 0 before a key is loaded.
    std::size_t PointSize() const noexcept;

    // Start begins a message with the ephemeral point, the first |size| bytes of its ciphertext
    // (|size| must be PointSize()). AuthenticationFailed when they are not a valid point for the
    // key; the message cannot then be decrypted.
    Status Start(const unsigned char* point, std::size_t size) noexcept;

    // Update unmasks the next |size| bytes of the masked message (the ciphertext after the point
    // and before the tag) from |in| into |out|, which may be |in|. The output is not yet
    // authentic: see the top of this file.
    Status Update(const unsigned char* in, std::size_t size, unsigned char* out) noexcept;

    // Finish checks the tag, the last kTagSize bytes of the ciphertext, and ends the message:
    // Ok means every piece Update gave is the message as it was encrypted. AuthenticationFailed
    // means the ciphertext was altered or is for another key: discard all the output.
    Status Finish(const unsigned char* tag, std::size_t size) noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

#endif  // ECCENCRYPTION_ECCSTREAM_H
