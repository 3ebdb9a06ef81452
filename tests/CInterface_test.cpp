// The flat C interface that foreign callers (the .NET binding) use: string handles, the three
// operations, and the rule that a null handle makes a call do nothing.
#include <eccencryption/eccencryption_c.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSupport.h"

namespace {

struct Free {
    void operator()(eccencryption_string* s) const { eccencryption_string_free(s); }
};
using Handle = std::unique_ptr<eccencryption_string, Free>;

Handle Make(const char* text) {
    return Handle(eccencryption_string_new(text));
}

std::string Bytes(const Handle& s) {
    return std::string(eccencryption_string_c_str(s.get()), eccencryption_string_size(s.get()));
}

TEST(CInterface, StringHandlesHoldTextUpToItsFirstZeroByte) {
    EXPECT_EQ(Bytes(Make("")), "");
    EXPECT_EQ(Bytes(Make("key text")), "key text");
    EXPECT_EQ(Bytes(Make("before\0after")), "before");
    EXPECT_EQ(Bytes(Make("\xC3\xA9\xF0\x9F\x99\x82")), "\xC3\xA9\xF0\x9F\x99\x82");
    EXPECT_EQ(eccencryption_string_new(nullptr), nullptr);
    EXPECT_EQ(eccencryption_string_c_str(nullptr), nullptr);
    EXPECT_EQ(eccencryption_string_size(nullptr), 0u);
    eccencryption_string_free(nullptr);
}

TEST(CInterface, RoundTripCarriesRawCiphertextBytes) {
    Handle privateKey = Make(""), publicKey = Make("");
    eccencryption_generate_keys(64, privateKey.get(), publicKey.get());
    ASSERT_EQ(eccencryption_string_size(privateKey.get()), 134u);
    ASSERT_EQ(eccencryption_string_size(publicKey.get()), 182u);

    const std::string message = "Gr\xC3\xBC\xC3\x9F\x65 \xE6\x9D\xB1\xE4\xBA\xAC";
    Handle plain = Make(message.c_str()), ciphertext = Make("old");
    const uint32_t size = eccencryption_encrypt(publicKey.get(), plain.get(), ciphertext.get());
    ASSERT_EQ(size, message.size() + 85);
    ASSERT_EQ(eccencryption_string_size(ciphertext.get()), size);
    EXPECT_EQ(Bytes(ciphertext)[0], '\x04');  // uncompressed ephemeral point

    Handle text = Make(testsupport::ToHex(Bytes(ciphertext)).c_str());
    Handle decrypted(eccencryption_decrypt(privateKey.get(), text.get()));
    ASSERT_NE(decrypted, nullptr);
    EXPECT_EQ(Bytes(decrypted), message);

    Handle otherPrivate = Make(""), otherPublic = Make("");
    eccencryption_generate_keys(64, otherPrivate.get(), otherPublic.get());
    Handle refused(eccencryption_decrypt(otherPrivate.get(), text.get()));
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(Bytes(refused), "");
}

TEST(CInterface, NullHandlesMakeEveryOperationDoNothing) {
    Handle privateKey = Make("private"), publicKey = Make("public");
    eccencryption_generate_keys(64, nullptr, publicKey.get());
    eccencryption_generate_keys(64, privateKey.get(), nullptr);
    EXPECT_EQ(Bytes(privateKey), "private");
    EXPECT_EQ(Bytes(publicKey), "public");

    eccencryption_generate_keys(64, privateKey.get(), publicKey.get());
    Handle message = Make("message"), out = Make("unchanged");
    EXPECT_EQ(eccencryption_encrypt(nullptr, message.get(), out.get()), 0u);
    EXPECT_EQ(eccencryption_encrypt(publicKey.get(), nullptr, out.get()), 0u);
    EXPECT_EQ(eccencryption_encrypt(publicKey.get(), message.get(), nullptr), 0u);
    EXPECT_EQ(Bytes(out), "unchanged");

    EXPECT_EQ(eccencryption_decrypt(nullptr, message.get()), nullptr);
    EXPECT_EQ(eccencryption_decrypt(privateKey.get(), nullptr), nullptr);
}

}  // namespace
