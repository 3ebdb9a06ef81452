#include <eccencryption/EccEncryption.h>
#include <eccencryption/eccencryption_c.h>

#include <cryptopp/misc.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

// The handle type is the standard string itself; the C side sees only an incomplete type.
// Handles carry private-key texts and messages, so the whole storage of the string, its spare
// capacity included, is wiped before it is released (resizing within the capacity allocates
// nothing).
struct eccencryption_string {
    std::string value;

    ~eccencryption_string() {
        value.resize(value.capacity());
        CryptoPP::SecureWipeBuffer(reinterpret_cast<CryptoPP::byte*>(&value[0]), value.size());
    }
};

namespace {

// NewString wraps |value| in a heap handle, or returns null when memory is exhausted.
eccencryption_string* NewString(std::string&& value) noexcept {
    return new (std::nothrow) eccencryption_string{std::move(value)};
}

}  // namespace

eccencryption_string* eccencryption_string_new(const char* text) {
    if (text == nullptr) return nullptr;
    try {
        return NewString(std::string(text));
    } catch (...) {
        return nullptr;
    }
}

const char* eccencryption_string_c_str(const eccencryption_string* s) {
    return s == nullptr ? nullptr : s->value.c_str();
}

uint64_t eccencryption_string_size(const eccencryption_string* s) {
    return s == nullptr ? 0 : s->value.size();
}

void eccencryption_string_free(eccencryption_string* s) {
    delete s;
}

void eccencryption_generate_keys(uint32_t key_size, eccencryption_string* private_key,
                                 eccencryption_string* public_key) {
    if (private_key == nullptr || public_key == nullptr) return;
    EccEncryption::GenerateEccKeys(key_size, private_key->value, public_key->value);
}

uint32_t eccencryption_encrypt(const eccencryption_string* public_key,
                               const eccencryption_string* message,
                               eccencryption_string* ciphertext) {
    if (public_key == nullptr || message == nullptr || ciphertext == nullptr) return 0;
    return EccEncryption::Encrypt(public_key->value, message->value, ciphertext->value);
}

eccencryption_string* eccencryption_decrypt(const eccencryption_string* private_key,
                                            const eccencryption_string* ciphertext_text) {
    if (private_key == nullptr || ciphertext_text == nullptr) return nullptr;
    // Decrypt itself never throws; its result is moved, so only the handle allocation can fail.
    return NewString(EccEncryption::Decrypt(private_key->value, ciphertext_text->value));
}

// The status-reporting functions over raw bytes. Key texts and messages are secrets, so every
// input is copied into a handle-typed holder, which wipes its storage when it goes, and every
// result is made in a new handle that reaches the caller only on success.
namespace {

using Status = EccEncryption::Status;

// Seed bytes for key generation: the generator's minimum is 32; 64 is what the callers of
// eccencryption_generate_keys have always passed.
constexpr unsigned int kKeySeedBytes = 64;

int Code(Status status) noexcept {
    return static_cast<int>(status);
}

// Copies the |size| bytes at |data| into |into|; throws when they cannot be held.
void Load(eccencryption_string& into, const void* data, uint64_t size) {
    if (size == 0) return;
    if (size > into.value.max_size()) throw std::length_error("input too long to copy");
    into.value.assign(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace

const char* eccencryption_status_text(int status) {
    return EccEncryption::StatusText(static_cast<Status>(status));
}

int eccencryption_generate_key_pair(eccencryption_string** private_key,
                                    eccencryption_string** public_key) {
    if (private_key == nullptr || public_key == nullptr || private_key == public_key) {
        return Code(Status::InternalFailure);
    }
    *private_key = nullptr;
    *public_key = nullptr;
    std::unique_ptr<eccencryption_string> privateText(new (std::nothrow) eccencryption_string);
    std::unique_ptr<eccencryption_string> publicText(new (std::nothrow) eccencryption_string);
    if (!privateText || !publicText) return Code(Status::InternalFailure);
    // GenerateEccKeys leaves its outputs as they were, here empty, when it fails.
    EccEncryption::GenerateEccKeys(kKeySeedBytes, privateText->value, publicText->value);
    if (privateText->value.empty() || publicText->value.empty()) {
        return Code(Status::InternalFailure);
    }
    *private_key = privateText.release();
    *public_key = publicText.release();
    return Code(Status::Ok);
}

int eccencryption_encrypt_bytes(const char* public_key, uint64_t public_key_size,
                                const uint8_t* message, uint64_t message_size,
                                eccencryption_string** ciphertext) {
    if (ciphertext == nullptr) return Code(Status::InternalFailure);
    *ciphertext = nullptr;
    if (public_key == nullptr && public_key_size != 0) return Code(Status::InvalidPublicKey);
    if (message == nullptr && message_size != 0) return Code(Status::InternalFailure);
    // No ciphertext can hold more than 4294967295 bytes; refused before anything is copied.
    if (message_size > UINT32_MAX) return Code(Status::MessageTooLong);
    try {
        eccencryption_string key, plain;
        Load(key, public_key, public_key_size);
        Load(plain, message, message_size);
        std::unique_ptr<eccencryption_string> out(new eccencryption_string);
        const Status status = EccEncryption::EncryptMessage(key.value, plain.value, out->value);
        if (status == Status::Ok) *ciphertext = out.release();
        return Code(status);
    } catch (...) {
        return Code(Status::InternalFailure);
    }
}

int eccencryption_decrypt_bytes(const char* private_key, uint64_t private_key_size,
                                const uint8_t* ciphertext, uint64_t ciphertext_size,
                                eccencryption_string** message) {
    if (message == nullptr) return Code(Status::InternalFailure);
    *message = nullptr;
    if (private_key == nullptr && private_key_size != 0) return Code(Status::InvalidPrivateKey);
    if (ciphertext_size > SIZE_MAX) return Code(Status::InternalFailure);
    try {
        eccencryption_string key;
        Load(key, private_key, private_key_size);
        std::unique_ptr<eccencryption_string> out(new eccencryption_string);
        const Status status = EccEncryption::DecryptMessage(
            key.value, ciphertext, static_cast<std::size_t>(ciphertext_size), out->value);
        if (status == Status::Ok) *message = out.release();
        return Code(status);
    } catch (...) {
        return Code(Status::InternalFailure);
    }
}
