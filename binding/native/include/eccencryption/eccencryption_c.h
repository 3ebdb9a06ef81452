/* eccencryption_c.h: a flat C interface to EccEncryption, for callers that cannot use C++
 * (the .NET binding calls it through P/Invoke).
 *
 * Strings cross the interface as opaque handles that own a native byte string. A handle is
 * made from zero-terminated narrow text, read through eccencryption_string_c_str and
 * eccencryption_string_size (the bytes may contain zero bytes; a terminating zero always
 * follows them), and released with eccencryption_string_free.
 *
 * No function lets an exception escape. A null handle where a handle is expected makes the
 * call do nothing and return 0 or NULL. All functions may be called from any number of threads
 * at once, as long as no handle is freed while another thread uses it.
 */
#ifndef ECCENCRYPTION_ECCENCRYPTION_C_H
#define ECCENCRYPTION_ECCENCRYPTION_C_H

#include <stdint.h>

#include <eccencryption/eccencryption_export.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct eccencryption_string eccencryption_string;

/* Returns a new string holding the bytes of |text| up to its first zero byte, or NULL when
 * |text| is NULL or memory is exhausted. */
ECCENCRYPTION_EXPORT eccencryption_string* eccencryption_string_new(const char* text);

/* Returns the string's bytes followed by a zero byte; valid until the string is changed or
 * freed. Returns NULL for a NULL handle. */
ECCENCRYPTION_EXPORT const char* eccencryption_string_c_str(const eccencryption_string* s);

/* Returns the number of bytes in the string, not counting the terminating zero. */
ECCENCRYPTION_EXPORT uint64_t eccencryption_string_size(const eccencryption_string* s);

/* Releases the string. NULL is ignored. */
ECCENCRYPTION_EXPORT void eccencryption_string_free(eccencryption_string* s);

/* EccEncryption::GenerateEccKeys: replaces |private_key| and |public_key| with the texts of a
 * fresh key pair; on failure both keep their content. */
ECCENCRYPTION_EXPORT void eccencryption_generate_keys(uint32_t key_size,
                                                      eccencryption_string* private_key,
                                                      eccencryption_string* public_key);

/* EccEncryption::Encrypt: replaces |ciphertext| with the raw ciphertext bytes of |message| for
 * |public_key| and returns their count; returns 0 on failure, leaving |ciphertext| unchanged. */
ECCENCRYPTION_EXPORT uint32_t eccencryption_encrypt(const eccencryption_string* public_key,
                                                    const eccencryption_string* message,
                                                    eccencryption_string* ciphertext);

/* EccEncryption::Decrypt: returns a new string holding the message of the ciphertext text
 * |ciphertext_text| (two hex digits per byte), empty when decryption fails; NULL only when
 * memory is exhausted or a handle is NULL. */
ECCENCRYPTION_EXPORT eccencryption_string* eccencryption_decrypt(
    const eccencryption_string* private_key, const eccencryption_string* ciphertext_text);

#ifdef __cplusplus
}
#endif

#endif /* ECCENCRYPTION_ECCENCRYPTION_C_H */
