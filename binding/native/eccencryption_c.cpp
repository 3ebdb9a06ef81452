#include <eccencryption/EccEncryption.h>
#include <eccencryption/eccencryption_c.h>

#include <new>
#include <string>
#include <utility>

// The handle type is the standard string itself; the C side sees only an incomplete type.
struct eccencryption_string {
    std::string value;
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
