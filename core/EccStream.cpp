#include <eccencryption/EccStream.h>

#include <utility>

#include "Ecies.h"

using eccencryption::byte;
using eccencryption::MessageCipher;
using Status = EccEncryption::Status;

struct EccEncryption::StreamEncryptor::State {
    std::unique_ptr<MessageCipher> cipher;
};

EccEncryption::StreamEncryptor::StreamEncryptor() noexcept = default;
EccEncryption::StreamEncryptor::~StreamEncryptor() = default;
EccEncryption::StreamEncryptor::StreamEncryptor(StreamEncryptor&&) noexcept = default;
EccEncryption::StreamEncryptor& EccEncryption::StreamEncryptor::operator=(
    StreamEncryptor&&) noexcept = default;

Status EccEncryption::StreamEncryptor::Start(const std::string& publicKey,
                                             std::string& point) noexcept {
    state_.reset();
    try {
        auto state = std::make_unique<State>();
        const Status status = eccencryption::BeginEncryption(publicKey, point, state->cipher);
        if (status == Status::Ok) state_ = std::move(state);
        return status;
    } catch (...) {
        return Status::InternalFailure;
    }
}

Status EccEncryption::StreamEncryptor::Update(const unsigned char* in, std::size_t size,
                                              unsigned char* out) noexcept {
    if (!state_) return Status::InvalidState;
    if (size == 0) return Status::Ok;
    if (in == nullptr || out == nullptr) return Status::InternalFailure;
    return state_->cipher->Encrypt(in, out, size) ? Status::Ok : Status::MessageTooLong;
}

Status EccEncryption::StreamEncryptor::Finish(unsigned char* tag) noexcept {
    if (!state_) return Status::InvalidState;
    if (tag == nullptr) return Status::InternalFailure;
    state_->cipher->Tag(tag);
    state_.reset();
    return Status::Ok;
}

struct EccEncryption::StreamDecryptor::State {
    eccencryption::DecryptionKey key;
    std::unique_ptr<MessageCipher> cipher;
};

EccEncryption::StreamDecryptor::StreamDecryptor() noexcept = default;
EccEncryption::StreamDecryptor::~StreamDecryptor() = default;
EccEncryption::StreamDecryptor::StreamDecryptor(StreamDecryptor&&) noexcept = default;
EccEncryption::StreamDecryptor& EccEncryption::StreamDecryptor::operator=(
    StreamDecryptor&&) noexcept = default;

Status EccEncryption::StreamDecryptor::SetKey(const std::string& privateKey) noexcept {
    state_.reset();
    try {
        auto state = std::make_unique<State>();
        const Status status = state->key.Load(privateKey);
        if (status == Status::Ok) state_ = std::move(state);
        return status;
    } catch (...) {
        return Status::InternalFailure;
    }
}

std::size_t EccEncryption::StreamDecryptor::PointSize() const noexcept {
    return state_ ? state_->key.PointSize() : 0;
}

Status EccEncryption::StreamDecryptor::Start(const unsigned char* point,
                                             std::size_t size) noexcept {
    if (!state_) return Status::InvalidState;
    state_->cipher.reset();
    if (point == nullptr || size != state_->key.PointSize()) return Status::AuthenticationFailed;
    try {
        return state_->key.Begin(point, state_->cipher);
    } catch (...) {
        return Status::InternalFailure;
    }
}

Status EccEncryption::StreamDecryptor::Update(const unsigned char* in, std::size_t size,
                                              unsigned char* out) noexcept {
    if (!state_ || !state_->cipher) return Status::InvalidState;
    if (size == 0) return Status::Ok;
    if (in == nullptr || out == nullptr) return Status::InternalFailure;
    // A ciphertext longer than any stream can make cannot be authentic.
    return state_->cipher->Decrypt(in, out, size) ? Status::Ok : Status::AuthenticationFailed;
}

Status EccEncryption::StreamDecryptor::Finish(const unsigned char* tag, std::size_t size) noexcept {
    if (!state_ || !state_->cipher) return Status::InvalidState;
    const bool authentic = tag != nullptr && size == kTagSize && state_->cipher->Verify(tag);
    state_->cipher.reset();
    return authentic ? Status::Ok : Status::AuthenticationFailed;
}
