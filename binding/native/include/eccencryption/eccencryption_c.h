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

/* Status-reporting functions over raw bytes. Each returns one of the statuses below (the values
 * of EccEncryption::Status) and hands its result out as a new handle, which the caller releases
 * with eccencryption_string_free. On failure every output pointer is set to NULL. Inputs are a
 * pointer and a byte count and may contain zero bytes; a NULL pointer is allowed with a count
 * of 0. Key texts are read as EccEncryption reads them (bytes that are not hex digits are
 * skipped). A NULL output pointer makes the call return ECCENCRYPTION_STATUS_INTERNAL_FAILURE. */
#define ECCENCRYPTION_STATUS_OK 0
#define ECCENCRYPTION_STATUS_INVALID_PUBLIC_KEY 1
#define ECCENCRYPTION_STATUS_INVALID_PRIVATE_KEY 2
#define ECCENCRYPTION_STATUS_CIPHERTEXT_TOO_SHORT 3
#define ECCENCRYPTION_STATUS_AUTHENTICATION_FAILED 4
#define ECCENCRYPTION_STATUS_MESSAGE_TOO_LONG 5
#define ECCENCRYPTION_STATUS_INTERNAL_FAILURE 6

/* Returns a short fixed English description of |status|, never NULL ("unknown status" for a
 * value that is none of the above). */
ECCENCRYPTION_EXPORT const char* eccencryption_status_text(int status);

/* Makes a fresh key pair and sets |*private_key| and |*public_key| (two distinct pointers) to
 * new strings holding its texts. */
ECCENCRYPTION_EXPORT int eccencryption_generate_key_pair(eccencryption_string** private_key,
                                                         eccencryption_string** public_key);

/* Encrypts the |message_size| bytes at |message| for the public-key text of |public_key_size|
 * bytes at |public_key| and sets |*ciphertext| to a new string holding the raw ciphertext bytes
 * (message_size + 85 of them). A NULL |public_key| with a nonzero count is an invalid public key;
 * a NULL |message| with a nonzero count is an internal failure. */
ECCENCRYPTION_EXPORT int eccencryption_encrypt_bytes(const char* public_key,
                                                     uint64_t public_key_size,
                                                     const uint8_t* message, uint64_t message_size,
                                                     eccencryption_string** ciphertext);

/* Decrypts the |ciphertext_size| raw ciphertext bytes at |ciphertext| with the private-key text
 * of |private_key_size| bytes at |private_key| and sets |*message| to a new string holding the
 * message. A NULL |private_key| with a nonzero count is an invalid private key; a NULL
 * |ciphertext| is too short. */
ECCENCRYPTION_EXPORT int eccencryption_decrypt_bytes(const char* private_key,
                                                     uint64_t private_key_size,
                                                     const uint8_t* ciphertext,
                                                     uint64_t ciphertext_size,
                                                     eccencryption_string** message);

#ifdef __cplusplus
}
#endif

#endif /* ECCENCRYPTION_ECCENCRYPTION_C_H */
