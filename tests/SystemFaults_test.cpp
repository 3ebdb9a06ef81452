// What the library does when the system lets it down: the operating system's random source
// is watched (and made to fail) by interposing open() and read(), and allocations are made to
// fail one after another by replacing operator new.
#include <eccencryption/EccEncryption.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "TestSupport.h"

namespace {

std::atomic<int> g_randomFds[2] = {{-1}, {-1}};  // /dev/random, /dev/urandom
std::atomic<long> g_randomBytes{0};
std::atomic<bool> g_randomFails{false};
std::atomic<long> g_allocationsLeft{-1};  // -1: never fail

bool IsRandomFd(int fd) {
    return fd >= 0 && (fd == g_randomFds[0] || fd == g_randomFds[1]);
}

void* Allocate(std::size_t size) {
    if (g_allocationsLeft.load() >= 0 && g_allocationsLeft.fetch_sub(1) == 0) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

}  // namespace

// The project builds with hidden visibility; these must be visible to replace libc's.
#define INTERPOSE __attribute__((visibility("default")))

extern "C" INTERPOSE int open(const char* path, int flags, ...) {
    using Open = int (*)(const char*, int, ...);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    const int fd = real(path, flags, mode);
    if (std::strcmp(path, "/dev/random") == 0) g_randomFds[0] = fd;
    if (std::strcmp(path, "/dev/urandom") == 0) g_randomFds[1] = fd;
    return fd;
}

extern "C" INTERPOSE ssize_t read(int fd, void* buffer, size_t size) {
    using Read = ssize_t (*)(int, void*, size_t);
    static const auto real = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    if (!IsRandomFd(fd)) return real(fd, buffer, size);
    if (g_randomFails) {
        errno = EIO;
        return -1;
    }
    const ssize_t got = real(fd, buffer, size);
    if (got > 0) g_randomBytes += got;
    return got;
}

INTERPOSE void* operator new(std::size_t size) {
    return Allocate(size);
}
INTERPOSE void* operator new[](std::size_t size) {
    return Allocate(size);
}
INTERPOSE void operator delete(void* p) noexcept {
    std::free(p);
}
INTERPOSE void operator delete[](void* p) noexcept {
    std::free(p);
}
INTERPOSE void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
INTERPOSE void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Status = EccEncryption::Status;
using testsupport::ToHex;

struct RandomWatch {
    RandomWatch() { g_randomBytes = 0; }
    long Bytes() const { return g_randomBytes; }
};

struct FailingRandomSource {
    FailingRandomSource() { g_randomFails = true; }
    ~FailingRandomSource() { g_randomFails = false; }
};

TEST(RandomSource, KeyGenerationSeedsFromTheSystemWithinBounds) {
    const struct {
        unsigned int requested;
        long least, most;
    } cases[] = {
        {0, 32, 64}, {1, 32, 64}, {31, 32, 64}, {256, 256, 288}, {0xFFFFFFFFu, 4096, 4096 + 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        std::string priv, pub;
        RandomWatch watch;
        EccEncryption::GenerateEccKeys(c.requested, priv, pub);
        ASSERT_EQ(priv.size(), 134u);
        EXPECT_GE(watch.Bytes(), c.least);
        EXPECT_LE(watch.Bytes(), c.most);
    }
}

TEST(RandomSource, EveryEncryptionAndDecryptionDrawsFromTheSystem) {
    std::string priv, pub, ciphertext;
    EccEncryption::GenerateEccKeys(32, priv, pub);
    for (int i = 0; i < 3; ++i) {
        RandomWatch watch;
        ASSERT_GT(EccEncryption::Encrypt(pub, "seeded", ciphertext), 0u);
        EXPECT_GE(watch.Bytes(), 32) << "call " << i;
    }
    // Every decryption blinds the private value with 96 fresh bits of its own.
    for (int i = 0; i < 3; ++i) {
        RandomWatch watch;
        EXPECT_EQ(EccEncryption::Decrypt(priv, ToHex(ciphertext)), "seeded");
        EXPECT_GE(watch.Bytes(), 12) << "Decrypt, call " << i;
        RandomWatch bytesWatch;
        std::string message;
        EXPECT_EQ(EccEncryption::DecryptMessage(
                      priv, reinterpret_cast<const unsigned char*>(ciphertext.data()),
                      ciphertext.size(), message),
                  Status::Ok);
        EXPECT_GE(bytesWatch.Bytes(), 12) << "DecryptMessage, call " << i;
    }
}

TEST(RandomSource, AFailingSourceChangesNoOutput) {
    std::string priv, pub, good;
    EccEncryption::GenerateEccKeys(32, priv, pub);
    ASSERT_GT(EccEncryption::Encrypt(pub, "message", good), 0u);
    FailingRandomSource failing;

    // Decryption without its blinding randomness fails rather than multiply by the bare key.
    std::string message = "unchanged";
    EXPECT_EQ(EccEncryption::DecryptMessage(
                  priv, reinterpret_cast<const unsigned char*>(good.data()), good.size(), message),
              Status::InternalFailure);
    EXPECT_EQ(message, "unchanged");
    EXPECT_EQ(EccEncryption::Decrypt(priv, ToHex(good)), "");

    std::string newPriv = "old private", newPub = "old public";
    EccEncryption::GenerateEccKeys(32, newPriv, newPub);
    EXPECT_EQ(newPriv, "old private");
    EXPECT_EQ(newPub, "old public");

    std::string ciphertext = "unchanged";
    EXPECT_EQ(EccEncryption::Encrypt(pub, "message", ciphertext), 0u);
    EXPECT_EQ(EccEncryption::EncryptMessage(pub, "message", ciphertext), Status::InternalFailure);
    EXPECT_EQ(ciphertext, "unchanged");
}

// Fails the first, second, third... allocation of |run| until it runs through, and after each
// failure calls |check| (with allocations working again) to see that the outputs are whole or
// untouched. Returns the number of failure points tried.
template <typename Run, typename Check>
int FailEachAllocation(Run run, Check check) {
    for (long k = 0; k < 100000; ++k) {
        g_allocationsLeft = k;
        run();
        const bool ranThrough = g_allocationsLeft.load() >= 0;
        g_allocationsLeft = -1;
        check();
        if (ranThrough) return static_cast<int>(k);
    }
    ADD_FAILURE() << "the call never ran through";
    return 0;
}

TEST(AllocationFailure, KeyGenerationWritesBothTextsOrNeither) {
    std::string priv, pub;
    const int points = FailEachAllocation(
        [&] {
            priv = "old private";
            pub = "old public";
            EccEncryption::GenerateEccKeys(32, priv, pub);
        },
        [&] {
            if (priv == "old private") {
                EXPECT_EQ(pub, "old public") << "public key written without its private key";
                return;
            }
            ASSERT_EQ(priv.size(), 134u);
            ASSERT_EQ(pub.size(), 182u);
            std::string ciphertext;
            ASSERT_GT(EccEncryption::Encrypt(pub, "pair", ciphertext), 0u);
            EXPECT_EQ(EccEncryption::Decrypt(priv, ToHex(ciphertext)), "pair") << "not a pair";
        });
    EXPECT_GT(points, 10);
}

TEST(AllocationFailure, EncryptionAndDecryptionFailCleanly) {
    std::string priv, pub, good;
    EccEncryption::GenerateEccKeys(32, priv, pub);
    ASSERT_GT(EccEncryption::Encrypt(pub, "message", good), 0u);
    const std::string goodText = ToHex(good);

    std::string ciphertext;
    unsigned int count = 0;
    const int encryptPoints = FailEachAllocation(
        [&] {
            ciphertext = "unchanged";
            count = EccEncryption::Encrypt(pub, "message", ciphertext);
        },
        [&] {
            if (count == 0) {
                EXPECT_EQ(ciphertext, "unchanged");
            } else {
                ASSERT_EQ(count, ciphertext.size());
                EXPECT_EQ(EccEncryption::Decrypt(priv, ToHex(ciphertext)), "message");
            }
        });
    std::string message;
    const int decryptPoints = FailEachAllocation(
        [&] { message = EccEncryption::Decrypt(priv, goodText); },
        [&] { EXPECT_TRUE(message.empty() || message == "message") << message; });
    EXPECT_GT(encryptPoints, 10);
    EXPECT_GT(decryptPoints, 10);
}

}  // namespace
